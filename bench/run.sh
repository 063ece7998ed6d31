#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs every one of them, then prints one
# table of the figures: operation, size, time, MiB/s, ratio against the
# baseline named beside it (measured in the same run), peak memory.
#   bash bench/run.sh [DATA_FOLDER]
# Large generated files go to DATA_FOLDER (default bench/data, not
# committed) and are deleted by each benchmark when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
data="${1:-bench/data}"
mkdir -p "$data"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTOLLAMER_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target catalog_open_bench catalog2005_open_bench \
  rows_scan_bench tools_throughput_bench data_export_bench backup_open_bench shapes_export_bench \
  sqlite_ceiling_bench postgres_ceiling_bench compressed_backup_bench multifile_open_bench \
  tollamer-cli >/dev/null
bin=build-bench/bench
results=$(mktemp)
trap 'rm -f "$results"' EXIT

run() {
  echo "== $*" >&2
  "$@" | tee /dev/stderr | grep '^RESULT|' >> "$results" || true
}

run "$bin/catalog_open_bench"
run "$bin/catalog2005_open_bench"
run "$bin/rows_scan_bench" "$data" 1
run "$bin/tools_throughput_bench" "$data"
run "$bin/data_export_bench" 1024
run "$bin/backup_open_bench" "$data" 1
run "$bin/compressed_backup_bench" "$data" 1024
run "$bin/multifile_open_bench" 30
run "$bin/shapes_export_bench" "${TOLLAMER_BENCH_MIB:-1024}"
run "$bin/sqlite_ceiling_bench" "$data" 1024
run "$bin/postgres_ceiling_bench" "$data" 1024

echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -sr), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
printf '| %-36s | %10s | %10s | %10s | %14s | %-18s | %9s |\n' operation size time MiB/s ratio against "peak mem"
printf '|%s|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..38})" "$(printf -- '-%.0s' {1..12})" \
  "$(printf -- '-%.0s' {1..12})" "$(printf -- '-%.0s' {1..12})" "$(printf -- '-%.0s' {1..16})" \
  "$(printf -- '-%.0s' {1..20})" "$(printf -- '-%.0s' {1..11})"
awk -F'|' '{
  mib = $3; sec = $4;
  rate = (sec > 0) ? sprintf("%.1f", mib / sec) : "-";
  printf "| %-36s | %6.1f MiB | %8.3f s | %10s | %14s | %-18s | %5.1f MiB |\n", $2, mib, sec, rate, $5, $6, $7
}' "$results"
