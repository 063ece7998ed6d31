#!/usr/bin/env bash
# Cross-builds tollamer-cli.exe for 64-bit Windows with Debian's MinGW-w64,
# into build-win/ (or WIN_BUILD_DIR), and packs build-win/tollamer-cli-windows.zip:
# the program, the command line section of the README as text, and the
# license texts of what it links.
#
# The libraries Debian ships for Linux only are built here from Debian's own
# source packages (apt-get source, from the archive the machine's apt
# sources already name; a deb-src entry is added for it when missing):
#   SQLite  sqlite3's source tree, made into its one-file amalgamation
#           and compiled with the options Debian's libsqlite3 is built with;
#   zlib    zlib's sources;
#   CLI11   header-only, from libcli11-dev as installed.
# libpq is left out: the Windows program's PostgreSQL import refuses.
# The program links every runtime statically (no DLL beyond Windows' own).
#
# TOLLAMER_WINDOWS_TESTS=1 also builds the platform tests (with googletest
# from /usr/src/googletest) for scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_dir=$root/${WIN_BUILD_DIR:-build-win}
deps=$build_dir/deps
prefix=$deps/prefix
jobs=$(nproc)
host=x86_64-w64-mingw32
cc=$host-gcc-posix
launcher=()
if command -v ccache >/dev/null; then launcher=(ccache); fi

for tool in $cc $host-g++-posix $host-ar $host-objdump zip apt-get dpkg-source tclsh; do
  command -v "$tool" >/dev/null || {
    echo "build-windows: $tool is missing; run scripts/install-deps.sh" >&2
    exit 1
  }
done
mkdir -p "$deps/src" "$prefix/include" "$prefix/lib"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# A deb-src entry for each Debian archive that apt's sources use for
# binary packages, so that apt-get source fetches from the same place.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/tollamer-deb-src.sources
  if [ -f "$list" ] || grep -rqsE '^\s*(deb-src\s|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
    return
  fi
  local text
  text=$(
    {
      # one-line style: deb [options] URI SUITE COMPONENTS
      grep -hsE '^\s*deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
        sed -E 's/^\s*deb\s+(\[[^]]*\]\s+)?//' |
        awk '$1 ~ /debian/ { comps=""; for (i = 3; i <= NF; i++) comps = comps " " $i;
               printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:%s\n\n", $1, $2, comps }'
      # deb822 style: copy each stanza whose URIs name a Debian archive
      for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'BEGIN { RS = "" }
             { n = split($0, lines, "\n"); binary = 0; debian = 0
               for (i = 1; i <= n; i++) {
                 if (lines[i] ~ /^Types:/) {
                   m = split(lines[i], types, /[ \t]+/)
                   for (j = 2; j <= m; j++) if (types[j] == "deb") binary = 1
                 }
                 if (lines[i] ~ /^URIs:/ && lines[i] ~ /debian/) debian = 1
                 if (lines[i] ~ /^Enabled:[ \t]*no/) { binary = 0 }
               }
               if (!binary || !debian) next
               out = ""
               for (i = 1; i <= n; i++) {
                 if (lines[i] ~ /^#/) continue
                 if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
                 out = out lines[i] "\n"
               }
               printf "%s\n", out }' "$f"
      done
    })
  if [ -z "$text" ]; then
    echo "build-windows: no Debian archive found in apt's sources" >&2
    exit 1
  fi
  echo "build-windows: adding deb-src entries to $list"
  printf '%s\n' "$text" | $sudo tee "$list" >/dev/null
  $sudo apt-get update -qq
}

# Unpacks Debian's source package $1 into $deps/src once; prints its folder.
# The newest version first; when an archive does not serve its sources (a
# security update's may be missing from a mirror), the next older one.
source_of() {
  local dir
  dir=$(find "$deps/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
  if [ -z "$dir" ]; then
    ensure_deb_src >&2
    local version
    (cd "$deps/src" && apt-get source -qq "$1" >/dev/null 2>&1) ||
      for version in $(apt-cache showsrc "$1" | awk '/^Version:/ { print $2 }' | sort -u | sort -rV); do
        (cd "$deps/src" && apt-get source -qq "$1=$version" >/dev/null 2>&1) && break
      done
    dir=$(find "$deps/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
  fi
  if [ -z "$dir" ]; then
    echo "build-windows: apt-get source $1 failed" >&2
    return 1
  fi
  echo "$dir"
}

# Compiles C sources into the static library $1 with extra flags $2.
static_library() {
  local lib=$1 flags=$2
  shift 2
  local objdir=$deps/obj/$(basename "$lib" .a)
  mkdir -p "$objdir"
  local objects=() pids=()
  for src in "$@"; do
    local obj=$objdir/$(basename "$src" .c).o
    objects+=("$obj")
    # shellcheck disable=SC2086
    "${launcher[@]}" $cc -O2 $flags -c "$src" -o "$obj" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$jobs" ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
  done
  for p in "${pids[@]}"; do wait "$p"; done
  rm -f "$lib"
  $host-ar rcs "$lib" "${objects[@]}"
}

# SQLite: the amalgamation made by the source tree's own makefile (host
# tools and tclsh), compiled with Debian's options that bear on the files
# written, so that the databases are the same bytes as on Linux.
if [ ! -f "$prefix/lib/libsqlite3.a" ]; then
  sqlite_src=$(source_of sqlite3) || exit 1
  echo "build-windows: SQLite from $(basename "$sqlite_src")"
  mkdir -p "$deps/sqlite-amalgamation"
  (cd "$deps/sqlite-amalgamation" && "$sqlite_src/configure" --disable-tcl >/dev/null &&
     make -j"$jobs" sqlite3.c >/dev/null)
  cp "$deps/sqlite-amalgamation/sqlite3.h" "$deps/sqlite-amalgamation/sqlite3ext.h" "$prefix/include/"
  static_library "$prefix/lib/libsqlite3.a" "-fno-strict-aliasing -DSQLITE_THREADSAFE=1
    -DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_OMIT_LOOKASIDE=1
    -DSQLITE_USE_URI=1 -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_MAX_VARIABLE_NUMBER=250000
    -DSQLITE_ALLOW_ROWID_IN_VIEW -DSQLITE_LIKE_DOESNT_MATCH_BLOBS -DSQLITE_OMIT_LOAD_EXTENSION" \
    "$deps/sqlite-amalgamation/sqlite3.c"
  mkdir -p "$deps/licenses"
  cp "$sqlite_src/debian/copyright" "$deps/licenses/SQLite.txt"
fi

# zlib: its C sources as they are.
if [ ! -f "$prefix/lib/libz.a" ]; then
  zlib_src=$(source_of zlib) || exit 1
  echo "build-windows: zlib from $(basename "$zlib_src")"
  static_library "$prefix/lib/libz.a" "" \
    "$zlib_src"/{adler32,compress,crc32,deflate,gzclose,gzlib,gzread,gzwrite,infback,inffast,inflate,inftrees,trees,uncompr,zutil}.c
  cp "$zlib_src/zlib.h" "$zlib_src/zconf.h" "$prefix/include/"
  mkdir -p "$deps/licenses"
  cp "$zlib_src/debian/copyright" "$deps/licenses/zlib.txt"
fi

# CLI11, header-only, with its relocatable CMake package files.
if [ ! -d "$prefix/include/CLI" ]; then
  cp -r /usr/include/CLI "$prefix/include/"
  mkdir -p "$prefix/share/cmake"
  cp -r /usr/share/cmake/CLI11 "$prefix/share/cmake/"
  mkdir -p "$deps/licenses"
  cp /usr/share/doc/libcli11-dev/copyright "$deps/licenses/CLI11.txt"
fi

# googletest for the platform tests, from the sources Debian installs.
tests=OFF
if [ "${TOLLAMER_WINDOWS_TESTS:-0}" = "1" ]; then
  tests=ON
  if [ ! -f "$prefix/lib/libgtest.a" ]; then
    echo "build-windows: googletest from /usr/src/googletest"
    cmake -S /usr/src/googletest -B "$deps/googletest" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DBUILD_GMOCK=OFF \
      -DCMAKE_INSTALL_PREFIX="$prefix" ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=ccache} >/dev/null
    cmake --build "$deps/googletest" -j"$jobs" >/dev/null
    cmake --install "$deps/googletest" >/dev/null
  fi
fi

cmake -S . -B "$build_dir/tollamer" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTOLLAMER_WINDOWS_DEPS="$prefix" \
  -DTOLLAMER_BUILD_TESTS=$tests \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
  -DSQLite3_LIBRARY="$prefix/lib/libsqlite3.a" -DSQLite3_INCLUDE_DIR="$prefix/include" \
  ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache} >/dev/null
targets=(--target tollamer-cli)
if [ "$tests" = ON ]; then targets+=(--target platform_tests); fi
cmake --build "$build_dir/tollamer" -j"$jobs" "${targets[@]}"
exe=$build_dir/tollamer/cli/tollamer-cli.exe
$host-strip -o "$build_dir/tollamer-cli.exe" "$exe"

# Only Windows' own DLLs may be imported.
allowed='^(kernel32|user32|advapi32|shell32|msvcrt|ws2_32|ole32|oleaut32|bcrypt|ntdll)\.dll$'
imports=$($host-objdump -p "$build_dir/tollamer-cli.exe" | awk '/DLL Name:/ { print tolower($3) }')
if echo "$imports" | grep -vqE "$allowed"; then
  echo "build-windows: tollamer-cli.exe imports DLLs outside Windows' own:" >&2
  echo "$imports" | grep -vE "$allowed" >&2
  exit 1
fi

# The zip: the program, the README's command line section, the licenses.
stage=$build_dir/zip/tollamer-cli-windows
rm -rf "$build_dir/zip"
mkdir -p "$stage/licenses"
cp "$build_dir/tollamer-cli.exe" "$stage/"
awk '/^## / { on = /^## (Command line|Windows)$/ } on' README.md |
  sed 's/$/\r/' > "$stage/README-cli.txt"
cp "$deps/licenses/"*.txt "$stage/licenses/"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/MinGW-w64-runtime.txt" 2>/dev/null ||
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/MinGW-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/GCC-runtime.txt"
for f in "$stage/licenses/"*.txt; do sed -i 's/\r*$/\r/' "$f"; done
rm -f "$build_dir/tollamer-cli-windows.zip"
(cd "$build_dir/zip" && zip -qr "$build_dir/tollamer-cli-windows.zip" tollamer-cli-windows)
echo "build-windows: $build_dir/tollamer-cli.exe ($(stat -c %s "$build_dir/tollamer-cli.exe") bytes)," \
  "imports: $(echo $imports | tr ' ' ',')"
echo "build-windows: $build_dir/tollamer-cli-windows.zip"
