#!/usr/bin/env bash
# Installs every Debian package the build, the program, the tests and the
# Debian package need. --runtime: only what building and running the
# programs needs (scripts/run.sh). Packages already installed are not asked for
# again: with nothing missing, apt-get is not run at all. fonts-wqy-microhei
# draws the Chinese texts; qt6-translations-l10n holds Qt's own texts
# (standard buttons, file chooser) in the other languages.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
    build-essential cmake ninja-build ccache pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
    fonts-wqy-microhei qt6-translations-l10n
    libpcap-dev libsqlite3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    iproute2 tcpdump procps util-linux
    python3 python3-xlrd libreoffice-calc-nogui gnumeric
    dpkg-dev lintian scdoc librsvg2-bin desktop-file-utils appstream bash-completion tshark
    libcap2-bin xvfb x11-utils
)
if [ "${1:-}" = "--runtime" ]; then
    # Enough to build and run the programs (the demo segment needs iproute2).
    PACKAGES=(build-essential cmake ninja-build ccache pkg-config qt6-base-dev qt6-base-dev-tools
              libgl-dev fonts-dejavu-core fonts-wqy-microhei qt6-translations-l10n libpcap-dev
              libsqlite3-dev iproute2 procps libcap2-bin)
fi
MISSING=()
for package in "${PACKAGES[@]}"; do
    if [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" != "installed" ]; then
        MISSING+=("$package")
    fi
done
if [ ${#MISSING[@]} -eq 0 ]; then
    exit 0
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${MISSING[@]}"
