#!/usr/bin/env bash
# Builds Tollamer, writes a synthetic SQL Server 2008 data file and a backup
# of it, and runs the main job on them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p build/demo
build/tests/fixtures/tollamer-make-sample build/demo/sample.mdf 2008
build/tests/fixtures/tollamer-make-sample build/demo/sample.bak 2000 --backup
build/cli/tollamer-cli info build/demo/sample.mdf
build/cli/tollamer-cli info --json build/demo/sample.bak
