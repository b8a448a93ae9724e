#!/usr/bin/env bash
# Builds Zumbrel and starts it on FOLDER (default: the home folder): the window when a
# display exists, otherwise the headless report of zumbrel-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh plain
folder=${1:-$HOME}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/bin/zumbrel ]; then
    exec build/bin/zumbrel "$folder"
fi
exec build/bin/zumbrel-cli report "$folder"
