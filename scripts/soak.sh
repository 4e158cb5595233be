#!/usr/bin/env bash
# Soak (not part of the tests): N writes in a row through the real tool's window against a virtual
# transmitter (default 100), then N/10 with fresh starts; after each run the flash's SHA-256, what is
# left in the workspace and the tool's memory are checked. One line per run, then a summary.
set -euo pipefail
source "$(dirname "$0")/env.sh"
announce_arch "soaking"
runs=${1:-100}

trap end_wine_session EXIT
start_wine_session --target write-soak

run_wine "$build_dir/bin/write-soak.exe" "$runs" 2>/dev/null | tr -d '\r'
