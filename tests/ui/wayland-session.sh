#!/usr/bin/env bash
# Runs a command under a headless weston with Qt's Wayland platform:
# wayland-session.sh [--screenshot FILE] COMMAND...
# Exits 77 (skipped) when weston or Qt's Wayland plugin is missing. With --screenshot, the
# compositor's output is written to FILE while the command runs (weston-screenshooter).
set -euo pipefail
shot=
if [ "${1:-}" = "--screenshot" ]; then
    shot=$(realpath -m "$2")
    shift 2
fi
plugin=$(find /usr/lib/*/qt6/plugins/platforms -name 'libqwayland-generic.so' 2>/dev/null | head -n1)
if ! command -v weston >/dev/null || [ -z "$plugin" ]; then
    echo "wayland-session: weston or qt6-wayland is not installed; skipped" >&2
    exit 77
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
socket=wayland-zumbrel
# Pixman draws into memory, so the headless output has pixels a screenshot can read; --debug
# lets weston-screenshooter ask for them.
weston --backend=headless-backend.so --use-pixman --width=1024 --height=768 --socket=$socket --idle-time=0 \
    --debug --no-config --log="$runtime/weston.log" &
weston_pid=$!
cleanup() {
    kill "$weston_pid" 2>/dev/null || true
    wait "$weston_pid" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -S "$runtime/$socket" ] && break
    sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
    cat "$runtime/weston.log" >&2
    echo "wayland-session: weston did not start" >&2
    exit 1
fi
export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
unset DISPLAY
if [ -z "$shot" ]; then
    "$@"
    exit $?
fi
"$@" &
command_pid=$!
sleep "${ZUMBREL_SCREENSHOT_DELAY:-3}"
(cd "$runtime" && weston-screenshooter) || echo "wayland-session: weston-screenshooter failed" >&2
found=$(ls "$runtime"/wayland-screenshot-*.png 2>/dev/null | head -n1 || true)
[ -n "$found" ] && cp "$found" "$shot"
wait "$command_pid"
