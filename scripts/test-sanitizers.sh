#!/usr/bin/env bash
# Builds the whole test suite with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ (or the folder named by
# SANITIZER_BUILD_DIR) and runs it. Any sanitizer report stops the test that
# raised it, so the stage fails. The same build holds the fuzz targets
# (bench/fuzz.sh), so the libraries are compiled once for both.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${SANITIZER_BUILD_DIR:-build-fuzz}"
cxx="${FUZZ_CXX:-$(command -v clang++-14 || command -v clang++)}"
cc="${FUZZ_CC:-$(command -v clang-14 || command -v clang)}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" \
  -DTOLLAMER_FUZZ=ON -DTOLLAMER_BUILD_TESTS=ON "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)" --timeout 900
