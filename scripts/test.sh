#!/usr/bin/env bash
# Builds Tollamer and runs every test, in four stages:
#   1. the Debian package built from build/ and unpacked into a temporary
#      root, where the programs, desktop entry, icon, manual page and
#      completion must be (scripts/check-package.sh);
#   2. the whole test suite built with AddressSanitizer and
#      UndefinedBehaviorSanitizer, built with clang into build-fuzz/
#      together with the fuzz targets, where any report fails;
#   3. a short run of every fuzz target (bench/fuzz.sh, FUZZ_SECONDS each,
#      default 12), where any crash, hang or leak fails;
#   4. the Windows program under Wine (scripts/test-windows.sh): cross-built,
#      its platform tests run, and its outputs over every real file compared
#      with the Linux program's byte for byte (TOLLAMER_WINDOWS=0 skips it);
#   5. the whole test suite of the normal build (build/), last, so that the
#      closing line is CTest's count of the tests that ran.
# TOLLAMER_QUICK=1 runs only the first, fourth and last stage (for a quick
# check while working).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
stage() { echo; echo "=== $1 ($(( SECONDS - started )) s in)"; }

bash scripts/build.sh
stage "Debian package"
bash scripts/check-package.sh
if [ "${TOLLAMER_QUICK:-0}" != "1" ]; then
  stage "sanitizer build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
  bash scripts/test-sanitizers.sh
  stage "short fuzz runs (${FUZZ_SECONDS:-12} s per target)"
  bash bench/fuzz.sh "${FUZZ_SECONDS:-12}"
fi
if [ "${TOLLAMER_WINDOWS:-1}" != "0" ]; then
  stage "Windows program under Wine"
  windows_started=$SECONDS
  bash scripts/test-windows.sh
  echo "Windows stage: $(( SECONDS - windows_started )) s"
fi
stage "test suite"
cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)" --timeout 600
