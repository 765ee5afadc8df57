#!/usr/bin/env bash
# Installs the packages, builds, and runs the desktop program.
# Raw Ethernet frames need root (or the capabilities set with setcap).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${QV_SKIP_DEPS:-0}" != "1" ]; then
    scripts/install-deps.sh --runtime
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"${JOBS:-2}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo -E"; fi
exec $SUDO build/bin/quorvantix "$@"
