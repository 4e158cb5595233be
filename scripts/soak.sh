#!/usr/bin/env bash
# Soak (not part of the tests): N writes in a row through the real tool's window against a virtual
# transmitter (default 100), then N/10 with fresh starts; after each run the flash's SHA-256, what is
# left in the workspace and the tool's memory are checked. One line per run, then a summary.
set -euo pipefail
source "$(dirname "$0")/env.sh"
choose_build
announce_arch "soaking"
runs=${1:-100}

bash "$repo/scripts/install-deps.sh"
bash "$repo/scripts/build.sh" --target write-soak
trap end_wine_session EXIT
start_wine_session

run_wine "$build_dir/bin/write-soak.exe" "$runs" | tr -d '\r'
