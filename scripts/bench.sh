#!/usr/bin/env bash
# Benchmarks the write run against a virtual transmitter (not part of the tests):
# - latency: from the Start Writing click to the worker's start, with a package of three 256 MiB
#   images, against 7za extracting the same package plus a plain copy of the image, run alone;
# - memory: the tool's peak working set after writing a 16 MiB and a 512 MiB image.
# BENCH_LATENCY_MIB and BENCH_MEMORY_MIB change the sizes.
set -euo pipefail
source "$(dirname "$0")/env.sh"
announce_arch "benchmarking"

bash "$repo/scripts/install-deps.sh"
bash "$repo/scripts/build.sh" --target write-bench
ensure_wineprefix
ensure_display
start_wineserver
trap 'wineserver -k 2>/dev/null || true; stop_display' EXIT

bench() { run_wine "$build_dir/bin/write-bench.exe" "$@" 2>/dev/null | tr -d '\r'; }
for mib in ${BENCH_LATENCY_MIB:-256}; do bench latency "$mib"; done
for mib in ${BENCH_MEMORY_MIB:-16 512}; do bench memory "$mib"; done
