#!/usr/bin/env bash
# Installs the packages, builds, and runs the desktop program.
# Raw Ethernet frames need root (or the capabilities set with setcap).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${QV_SKIP_DEPS:-0}" != "1" ]; then
    scripts/install-deps.sh --runtime
fi
# Only what runs is built: a fresh build folder leaves tests and benchmarks
# out, and one that the test script configured builds just the programs.
if [ -f build/CMakeCache.txt ]; then
    cmake build >/dev/null
else
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=OFF \
          -DQV_BUILD_BENCH=OFF
fi
cmake --build build -j"${JOBS:-2}" --target qv_programs

# Whether an Ethernet card with a cable plugged in is attached (loopback,
# virtual links and the demo segment's own ends do not count).
have_ethernet() {
    local dev name
    for dev in /sys/class/net/*; do
        name=$(basename "$dev")
        case "$name" in lo | qvd*) continue ;; esac
        [ -e "$dev/device" ] || continue
        [ "$(cat "$dev/type" 2>/dev/null)" = "1" ] || continue
        [ "$(cat "$dev/carrier" 2>/dev/null)" = "1" ] && return 0
    done
    return 1
}

ARGS=("$@")
case " $* " in
*" --demo "*) ;;
*)
    if ! have_ethernet; then
        echo "run.sh: no Ethernet device attached; starting with a demo segment of emulated devices (--demo)" >&2
        ARGS=(--demo "${ARGS[@]}")
    fi
    ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo -E"; fi
exec $SUDO build/bin/quorvantix "${ARGS[@]}"
