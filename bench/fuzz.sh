#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ (or FUZZ_BUILD_DIR),
# writes their seed corpora (fixtures and, when present, pages of the real
# files) into build-fuzz/corpus, and runs every target for SECONDS (default
# 20), as many at once as there are cores. Fails when any target finds a
# crash, a hang, a leak or a sanitizer report; the inputs that did are kept
# in build-fuzz/artifacts.
# Usage: bench/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
build_dir="${FUZZ_BUILD_DIR:-build-fuzz}"
cxx="${FUZZ_CXX:-$(command -v clang++-14 || command -v clang++)}"
cc="${FUZZ_CC:-$(command -v clang-14 || command -v clang)}"

# A folder the sanitizer stage already configured keeps its test suite.
tests_off=(-DTOLLAMER_BUILD_TESTS=OFF)
[ -f "$build_dir/CMakeCache.txt" ] && tests_off=()
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" \
  -DTOLLAMER_FUZZ=ON "${tests_off[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tollamer_fuzz_all

corpus="$build_dir/corpus"
rm -rf "$corpus"
"$build_dir/fuzz/tollamer-fuzz-corpus" "$corpus"
mkdir -p "$build_dir/artifacts" "$build_dir/found"

targets=()
for exe in "$build_dir"/fuzz/*_fuzz; do targets+=("$(basename "$exe")"); done

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

run_one() {
  local target="$1" name="${1%_fuzz}"
  local seeds="$corpus/$name" found="$build_dir/found/$name"
  mkdir -p "$seeds" "$found"
  "$build_dir/fuzz/$target" "$found" "$seeds" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=2500000 \
    -artifact_prefix="$build_dir/artifacts/$name-" -print_final_stats=1 \
    >"$build_dir/artifacts/$name.log" 2>&1
}

failed=()
pids=()
names=()
jobs_max="$(nproc)"
for target in "${targets[@]}"; do
  run_one "$target" &
  pids+=($!)
  names+=("$target")
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do sleep 1; done
done
for i in "${!pids[@]}"; do
  if ! wait "${pids[$i]}"; then failed+=("${names[$i]}"); fi
done

for target in "${targets[@]}"; do
  name="${target%_fuzz}"
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build_dir/artifacts/$name.log" | grep -o '[0-9]*$' || echo '?')"
  printf '%-22s %8s runs\n' "$target" "$runs"
done
if [ ${#failed[@]} -gt 0 ]; then
  for t in "${failed[@]}"; do
    echo "fuzz target $t failed; its log:"
    tail -n 60 "$build_dir/artifacts/${t%_fuzz}.log"
  done
  echo "fuzzing found ${#failed[@]} failing target(s): ${failed[*]}"
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets ran ${seconds}s each without a finding"
