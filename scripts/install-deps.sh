#!/usr/bin/env bash
# Installs every Debian package Tarvisk needs to build, test and run.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    clang libclang-rt-14-dev
    libcurl4-openssl-dev libpcre2-dev libssl-dev zlib1g-dev
    libcpp-httplib-dev nlohmann-json3-dev libcli11-dev libsqlite3-dev libsqlitecpp-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin libqt6opengl6-dev qt6-translations-l10n qt6-charts-dev
    libxcb1-dev xvfb xauth fonts-noto-cjk imagemagick
    # A real window manager for the window tests, and the tools that read back what it manages.
    openbox wmctrl
    curl python3 time git
    # Packaging: the package's checks, the installed files' validators, the installed program's window, icons.
    lintian desktop-file-utils appstream man-db x11-utils librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
