#!/usr/bin/env bash
# Builds the Debian package from the build folder (cpack -G DEB) and unpacks
# it into a temporary root: the two programs, the desktop entry and its icon,
# the help page, the manual page and the bash completion must be there; the
# manual page must describe every command --help lists and the completion
# must parse. Prints the package's name, size and dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${BUILD_DIR:-build}")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

(cd "$build_dir" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/tollamer_*.deb)
dpkg-deb -x "$deb" "$out/root"

failed=0
for f in usr/bin/tollamer-cli usr/bin/tollamer \
         usr/share/applications/tollamer.desktop \
         usr/share/icons/hicolor/scalable/apps/tollamer.svg \
         usr/share/tollamer/help/index.html \
         usr/share/man/man1/tollamer-cli.1.gz \
         usr/share/bash-completion/completions/tollamer-cli; do
  [ -s "$out/root/$f" ] || { echo "missing from the package: /$f"; failed=1; }
done
if [ "$failed" -eq 0 ]; then
  man="$out/man.1"
  gzip -dc "$out/root/usr/share/man/man1/tollamer-cli.1.gz" >"$man"
  cli="$out/root/usr/bin/tollamer-cli"
  for command in $("$cli" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }'); do
    section=$(head=".SS ${command//-/\\-}" awk '$0 == ENVIRON["head"] { on = 1; print; next }
                                                /^\.S[SH] / { on = 0 } on' "$man")
    [ -n "$section" ] || { echo "the manual page lacks the command $command"; failed=1; continue; }
    for option in $("$cli" "$command" --help | sed "/^Exit codes:/,\$d" | grep -o -- '--[a-z][a-z-]*' | grep -vx -- --help | sort -u); do
      grep -qF -- "${option//-/\\-}" <<<"$section" ||
        { echo "the manual page lacks $command $option"; failed=1; }
    done
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$out/root/usr/share/applications/tollamer.desktop" || failed=1
  fi
  # The completion offers the commands, a command's options, and the values
  # of an option restricted to a set.
  completes() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tollamer_cli
             printf "%s\n" "${COMPREPLY[@]}" | sort | xargs' _ "$out/root/usr/share/bash-completion/completions/tollamer-cli" "$@"
  }
  [ "$(completes tollamer-cli export-d)" = "export-data" ] &&
    [[ " $(completes tollamer-cli import x.mdf --t) " == *" --to "* ]] &&
    [ "$(completes tollamer-cli export-data x.mdf --format '')" = "csv sql" ] ||
    { echo "the bash completion does not complete commands, options and their values"; failed=1; }
fi
[ "$failed" -eq 0 ] || exit 1
echo "package $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, depends on $(dpkg-deb -f "$deb" Depends)"
