#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
    build-essential cmake ninja-build ccache pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
    libpcap-dev libsqlite3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    iproute2 tcpdump procps libcap2-bin util-linux
    python3 python3-xlrd libreoffice-calc-nogui gnumeric
)
if [ "${1:-}" = "--runtime" ]; then
    # Enough to build and run the program.
    PACKAGES=(build-essential cmake ninja-build ccache pkg-config qt6-base-dev qt6-base-dev-tools
              libgl-dev fonts-dejavu-core libpcap-dev libsqlite3-dev libgtest-dev libgmock-dev
              libbenchmark-dev iproute2 procps libcap2-bin util-linux)
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
