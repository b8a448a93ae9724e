#!/usr/bin/env bash
# Builds Zumbrel and runs every test: scripts/test.sh [plain|asan|tsan] [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
kind=${1:-plain}
shift || true
base=${ZUMBREL_BUILD_DIR:-build}
scripts/build.sh "$kind"
case "$kind" in
    plain) dir=${base} ;;
    asan)  dir=${base}-asan; export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
    tsan)  dir=${base}-tsan; export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ;;
esac
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "$@"
