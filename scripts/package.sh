#!/usr/bin/env bash
# Builds the Debian package: scripts/package.sh [--check]
# It lands in build-release/zumbrel_<version>_<arch>.deb. With --check, the package is also
# installed with apt as on a user's machine, its files are checked, and it is removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
base=${ZUMBREL_BUILD_DIR:-build}
dir=${base}-release
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUMBREL_BUILD_TESTS=OFF \
        -DZUMBREL_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$dir"/zumbrel_*.deb | head -n1)
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --field "$deb" Package Version Architecture Section Depends Recommends

if [ "${1:-}" = "--check" ]; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get install -y -qq "$(realpath "$deb")" >/dev/null
    trap '"${sudo_cmd[@]}" apt-get remove -y -qq zumbrel >/dev/null' EXIT
    zumbrel-cli --version
    zumbrel --version
    desktop-file-validate /usr/share/applications/org.example.zumbrel.desktop
    appstreamcli validate --no-net /usr/share/metainfo/org.example.zumbrel.metainfo.xml >/dev/null
    man -w zumbrel-cli >/dev/null
    test -f /usr/share/locale/de/LC_MESSAGES/zumbrel.mo
    test -f /usr/share/icons/hicolor/scalable/apps/zumbrel.svg
    echo "package: installed with apt and checked"
fi
