#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [plain|asan|tsan|release] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-plain}
shift || true
# Parallel work in one checkout uses separate trees: ZUMBREL_BUILD_DIR=build-mine scripts/build.sh
base=${ZUMBREL_BUILD_DIR:-build}
case "$kind" in
    plain)   dir=${base};         opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    release) dir=${base}-release; opts=(-DCMAKE_BUILD_TYPE=Release -DZUMBREL_BUILD_TESTS=OFF) ;;
    asan)    dir=${base}-asan;    opts=(-DCMAKE_BUILD_TYPE=Debug -DZUMBREL_SANITIZE=ON -DZUMBREL_BUILD_BENCH=OFF) ;;
    tsan)    dir=${base}-tsan;    opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUMBREL_TSAN=ON -DZUMBREL_BUILD_BENCH=OFF) ;;
    *) echo "usage: $0 [plain|asan|tsan|release] [targets...]" >&2; exit 2 ;;
esac
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "${opts[@]}" >/dev/null
fi
jobs=$(nproc)
if [ $# -gt 0 ]; then
    cmake --build "$dir" -j"$jobs" --target "$@"
else
    cmake --build "$dir" -j"$jobs"
fi
