#!/usr/bin/env bash
# Builds the Debian package from debian/ the way Debian maintainers do (dpkg-buildpackage, dh
# with CMake: Debian's hardening flags, a -dbgsym package, compressed manual pages, library
# dependencies from dpkg-shlibdeps) and checks it with lintian and hardening-check:
# scripts/package.sh [--check]
# The packages land in build-deb/ (ZUMBREL_BUILD_DIR=x: x-deb/). With --check the package is
# also installed with apt as on a user's machine, its files are checked, and it is removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
base=${ZUMBREL_BUILD_DIR:-build}
out=$(realpath -m "${base}-deb")
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
src=$out/zumbrel-$version

# dpkg-buildpackage writes its results beside the source tree: build a copy of the checkout's
# files (tracked and new ones, not ignored ones) inside the output folder.
rm -rf "$out"
mkdir -p "$src"
git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null --files-from=- -cf - | tar -xf - -C "$src"
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")}
(cd "$src" && dpkg-buildpackage -us -uc -b >"$out/build.log" 2>&1) || {
    tail -n 40 "$out/build.log" >&2
    echo "package: dpkg-buildpackage failed, see $out/build.log" >&2
    exit 1
}
deb=$out/zumbrel_${version}_${arch}.deb
changes=$out/zumbrel_${version}_${arch}.changes
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB), $(basename "$out"/zumbrel-dbgsym_*.deb)"
dpkg-deb --field "$deb" Package Version Architecture Section Depends Recommends

# No error and no warning; overrides live in debian/*.lintian-overrides with their reasons.
lintian --fail-on error,warning "$changes" "$deb"
unpacked=$out/unpacked
dpkg-deb -x "$deb" "$unpacked"
# Debian 12's dpkg-buildflags has no control-flow protection feature yet (it came with dpkg 1.22),
# so hardening=+all cannot give -fcf-protection here; every other check must pass.
hardening-check --nocfprotection "$unpacked/usr/bin/zumbrel" "$unpacked/usr/bin/zumbrel-cli"

if [ "${1:-}" = "--check" ]; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get install -y -qq "$deb" >/dev/null
    trap '"${sudo_cmd[@]}" apt-get remove -y -qq zumbrel >/dev/null' EXIT
    zumbrel-cli --version
    QT_QPA_PLATFORM=offscreen zumbrel --version
    desktop-file-validate /usr/share/applications/org.example.zumbrel.desktop
    appstreamcli validate --no-net /usr/share/metainfo/org.example.zumbrel.metainfo.xml >/dev/null
    for page in zumbrel zumbrel-cli; do
        manual=$(man -w "$page")
        case $manual in
            *.gz) gzip -t "$manual" ;;
            *) echo "package: the manual page $manual is not compressed" >&2; exit 1 ;;
        esac
    done
    test -f /usr/share/icons/hicolor/scalable/apps/zumbrel.svg
    # The installed programs find the installed catalogs: a German and a Japanese error text.
    for lang in de ja; do
        test -f /usr/share/locale/$lang/LC_MESSAGES/zumbrel.mo
        english=$(LANG=C zumbrel-cli no-such-command 2>&1 || true)
        translated=$(LANG=$lang.UTF-8 zumbrel-cli no-such-command 2>&1 || true)
        if [ "$english" = "$translated" ]; then
            echo "package: zumbrel-cli is not translated into $lang: $translated" >&2
            exit 1
        fi
    done
    echo "package: installed with apt and checked"
fi
