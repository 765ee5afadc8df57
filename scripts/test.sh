#!/usr/bin/env bash
# Installs the packages, builds and runs every test: the plain build, the
# Debian package (built from the plain build, linted, extracted and run as
# nobody), the AddressSanitizer + UndefinedBehaviorSanitizer build, the
# ThreadSanitizer build of the threaded core, and the bounded fuzz runs.
# Tests that make network namespaces need root; without it they are skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
JOBS="${JOBS:-2}"
FUZZ_SECONDS="${FUZZ_SECONDS:-60}"

if [ "${QV_SKIP_DEPS:-0}" != "1" ]; then
    scripts/install-deps.sh
fi

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CTEST_OUTPUT_ON_FAILURE=1
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

step() { printf '\n==== %s ====\n' "$*"; }

step "plain build"
# Configured for /usr, so the package step can package this build.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=ON \
      -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build -j"$JOBS"
step "plain tests"
(cd build && ctest -j"$JOBS" --timeout 600)

step "Debian package"
DEB="$(scripts/package.sh build)"
tests/packaging/package_test.sh "$DEB" "$ROOT"

step "ASan + UBSan build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DENABLE_ASAN=ON -DENABLE_UBSAN=ON \
      -DQV_BUILD_BENCH=OFF
cmake --build build-asan -j"$JOBS"
step "ASan + UBSan tests"
(cd build-asan && ctest -j"$JOBS" --timeout 900 -LE package)

step "TSan build (threaded core)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DENABLE_TSAN=ON -DQV_CORE_ONLY=ON \
      -DQV_BUILD_BENCH=OFF
cmake --build build-tsan -j"$JOBS"
step "TSan tests"
(cd build-tsan && ctest -j"$JOBS" -L tsan --timeout 900 --no-tests=ignore)

step "fuzz build"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DENABLE_ASAN=ON -DENABLE_UBSAN=ON -DQV_CORE_ONLY=ON -DQV_BUILD_FUZZ=ON \
      -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$JOBS" --target all
shopt -s nullglob
for fuzzer in build-fuzz/fuzz/fuzz_*; do
    name="$(basename "$fuzzer")"
    step "fuzz $name (${FUZZ_SECONDS}s)"
    corpus="$(mktemp -d)"
    seeds="tests/fuzz/corpus/${name#fuzz_}"
    if [ -d "$seeds" ]; then cp -r "$seeds"/. "$corpus"/; fi
    "$fuzzer" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 "$corpus" 2>&1 | tail -n 20
    rm -rf "$corpus"
done
step "all tests passed"
