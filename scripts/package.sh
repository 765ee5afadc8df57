#!/usr/bin/env bash
# Builds the Debian package quorvantix_<version>-1_<arch>.deb and prints its path.
#   scripts/package.sh            a build of its own in build-pkg/ (programs only)
#   scripts/package.sh BUILD_DIR  packages an already configured build folder
# Install it with: sudo apt install ./build-pkg/packages/quorvantix_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS="${JOBS:-2}"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"

for tool in cmake cpack dpkg-shlibdeps scdoc rsvg-convert gzip; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "package.sh: $tool is missing; run scripts/install-deps.sh" >&2
        exit 1
    fi
done

if [ $# -ge 1 ]; then
    BUILD="$1"
    if [ ! -f "$BUILD/CMakeCache.txt" ]; then
        echo "package.sh: $BUILD is not a configured build folder" >&2
        exit 2
    fi
    # Paths compiled into the programs must be those of the package.
    if ! grep -qx 'CMAKE_INSTALL_PREFIX:PATH=/usr' "$BUILD/CMakeCache.txt"; then
        echo "package.sh: $BUILD must be configured with -DCMAKE_INSTALL_PREFIX=/usr" >&2
        exit 2
    fi
    cmake "$BUILD" -DQV_PACKAGE=ON >/dev/null
else
    BUILD=build-pkg
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
          -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF -DQV_PACKAGE=ON >/dev/null
fi
cmake --build "$BUILD" -j"$JOBS" >&2
OUT="$(cd "$BUILD" && pwd)/packages"
rm -rf "$OUT"
(cd "$BUILD" && cpack -G DEB -B "$OUT" >&2)
ls "$OUT"/quorvantix_*.deb
