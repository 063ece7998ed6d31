#!/usr/bin/env bash
# The Windows program under Wine: builds tollamer-cli.exe and the platform
# tests (scripts/build-windows.sh), runs the platform tests, then runs the
# program over every real file of the shared data folder and compares what
# it writes with what the Linux program (build/cli/tollamer-cli, built
# first) writes, byte for byte: export-data as CSV and as SQL, export-schema,
# import into SQLite, and bak2mdf for backups. Also: an input another
# process holds open for writing is refused, Ctrl-C removes the temporaries,
# and `sources` lists the drives.
# Without the shared data folder the comparisons are skipped, saying so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux_cli=$root/${BUILD_DIR:-build}/cli/tollamer-cli
win_dir=$root/${WIN_BUILD_DIR:-build-win}
data=${TOLLAMER_REAL_DATA_DIR:-$root/../shared/data}
started=$SECONDS

TOLLAMER_WINDOWS_TESTS=1 bash scripts/build-windows.sh
echo "test-windows: built in $(( SECONDS - started )) s"
exe=$win_dir/tollamer-cli.exe

# A private Wine prefix, no window, no dialog (no Mono or Gecko installer).
work=$(mktemp -d "${TMPDIR:-/tmp}/tollamer-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
wineserver -p || true  # one server for every run, not one started per program
wine wineboot -i >/dev/null 2>&1 </dev/null || true
wine_path() { echo "Z:${1//\//\\}"; }
run_win() { wine "$exe" "$@" </dev/null; }

# Failures are lines of a file: comparisons run two at a time in subshells.
failures=$work/failures
: > "$failures"
fail() { echo "FAIL: $*" | tee -a "$failures"; }

echo "=== platform tests under Wine"
wine "$win_dir/tollamer/tests/platform/platform_tests.exe" </dev/null || fail "platform tests"

echo "=== an input held open for writing by another process"
held=$work/held.mdf
head -c 65536 /dev/zero > "$held"
wine "$win_dir/tollamer/tests/platform/platform_tests.exe" --hold-for-writing "$(wine_path "$held")" \
  > "$work/holder.out" 2>&1 </dev/null &
holder=$!
for _ in $(seq 100); do grep -q held "$work/holder.out" 2>/dev/null && break; sleep 0.1; done
set +e
message=$(run_win info "$(wine_path "$held")" 2>&1 >/dev/null)
code=$?
set -e
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
if [ $code -ne 1 ] || ! echo "$message" | grep -q "in use by another program"; then
  fail "a file held for writing: exit $code, '$message' (expected 1, in use)"
fi

echo "=== Ctrl-C (SIGINT, which Wine turns into CTRL_C_EVENT) while an output is written"
mkdir -p "$work/interrupted"
wine "$win_dir/tollamer/tests/platform/platform_tests.exe" --write-until-interrupted \
  "$(wine_path "$work/interrupted/out.csv")" > "$work/writer.out" 2>&1 </dev/null &
writer=$!
for _ in $(seq 100); do grep -q writing "$work/writer.out" 2>/dev/null && break; sleep 0.1; done
kill -INT "$writer"
set +e
wait "$writer"
code=$?
set -e
if [ $code -ne 130 ] || [ -n "$(ls -A "$work/interrupted")" ]; then
  fail "Ctrl-C: exit $code (expected 130), left: $(ls -A "$work/interrupted")"
fi

echo "=== sources"
run_win sources > "$work/sources.txt" 2>/dev/null || fail "sources exited non-zero"
grep -qF '\\.\Z:' "$work/sources.txt" || { cat "$work/sources.txt"; fail "sources does not list Wine's drive Z:"; }

echo "=== real files: the Windows program's outputs against the Linux program's"
if [ ! -d "$data" ]; then
  echo "SKIPPED: the real data folder $data is absent: no real-file comparison"
else
  # Runs one command on both programs at once; compares exit codes and
  # output trees (in $out/linux and $out/windows).
  compare() {
    local name=$1 kind=$2 out=$3
    shift 3
    rm -rf "$out" && mkdir -p "$out/linux" "$out/windows"
    local args_linux=() args_win=()
    for a in "$@"; do
      case $a in
        @IN) args_linux+=("$data/$name"); args_win+=("$(wine_path "$data/$name")") ;;
        *@OUT*)
          args_linux+=("${a/@OUT/$out/linux}")
          args_win+=("${a%%@OUT*}$(wine_path "$out/windows${a#*@OUT}")") ;;
        *) args_linux+=("$a"); args_win+=("$a") ;;
      esac
    done
    set +e
    "$linux_cli" -q "${args_linux[@]}" >/dev/null 2>"$out/linux.err" &
    local linux_pid=$!
    run_win -q "${args_win[@]}" >/dev/null 2>"$out/windows.err"
    local code_win=$?
    wait $linux_pid
    local code_linux=$?
    set -e
    echo "$name $kind" >> "$work/compared"
    if [ $code_linux -ne $code_win ]; then
      fail "$name $kind: exit $code_win on Windows, $code_linux on Linux (Windows said: $(head -c 300 "$out/windows.err"); Linux said: $(head -c 300 "$out/linux.err"))"
    elif ! diff -r "$out/linux" "$out/windows" >/dev/null; then
      fail "$name $kind: outputs differ: $(diff -rq "$out/linux" "$out/windows" | head -3)"
    fi
  }
  compare_file() {
    local name=$1 out=$work/out/$1
    compare "$name" "export-data csv" "$out" export-data @IN --out @OUT/csv
    compare "$name" "export-data sql" "$out" export-data @IN --out @OUT/sql --format sql
    compare "$name" "export-schema" "$out" export-schema @IN --out @OUT
    compare "$name" "import sqlite" "$out" import @IN --to "sqlite:@OUT/db.sqlite"
    case $name in *.bak) compare "$name" "bak2mdf" "$out" bak2mdf @IN @OUT/converted.mdf ;; esac
    rm -rf "$out"
  }
  : > "$work/compared"
  running=0
  for path in "$data"/*; do
    [ -f "$path" ] || continue
    name=$(basename "$path")
    case $name in *.md|*.tsv|*.txt) continue ;; esac
    compare_file "$name" &
    running=$(( running + 1 ))
    if [ $running -ge 2 ]; then wait -n || true; running=$(( running - 1 )); fi
  done
  wait
  compared=$(wc -l < "$work/compared")
  echo "test-windows: $compared comparisons over $(ls "$data" | wc -l) entries of $data"
fi
echo "test-windows: $(( SECONDS - started )) s in all"
if [ -s "$failures" ]; then
  echo "test-windows: $(wc -l < "$failures") failure(s)"
  exit 1
fi
