#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Zumbrel needs.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git python3
    qt6-base-dev qt6-base-dev-tools qt6-gtk-platformtheme libgl-dev
    libgtest-dev libgmock-dev
    gettext
    libmount-dev libblkid-dev libsystemd-dev libglib2.0-dev
    rapidjson-dev ncdu gdu time
    fonts-dejavu-core
    xvfb xauth x11-utils imagemagick xdotool
    at-spi2-core python3-pyatspi dbus-x11
    adwaita-icon-theme hicolor-icon-theme
    clang clang-format libclang-rt-dev
    # installing and packaging: manual pages, desktop entry and AppStream checks, icons, .deb
    scdoc desktop-file-utils appstream librsvg2-bin man-db file dpkg-dev
    # the Debian package: dpkg-buildpackage with dh, lintian, hardening-check
    debhelper devscripts lintian fakeroot
    # the Wayland start test: a headless compositor and Qt's Wayland platform
    weston qt6-wayland
    # screenshots of the Chinese and Japanese catalogs
    fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
