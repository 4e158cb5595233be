#!/usr/bin/env bash
# Benchmarks the tool against a virtual transmitter (not part of the tests), with the tool's own phase
# timestamps beside the raw work on the same files:
# - latency: from the Start Writing click to the worker's start, step by step in the order of the work,
#   with a package of three 256 MiB images, against 7-Zip alone, a plain copy and its flush (medians of
#   BENCH_ROUNDS rounds, 5), and what runs beside it (decoys, 7-Zip's listing, the worker's deletion of the
#   unpacked images); then one line per goal: the longest time the dialog does not answer from the click
#   to the result box and the phase it fell in; the tool's own work beyond the raw work and what it is made
#   of; the image check's CRC-32 timed alone; click to worker start against the raw work; the secure copy
#   against CopyFileW; the start to the first "[Status]" line; the close after the writes;
# - memory: the tool's peak working set after writing a 16 MiB and a 512 MiB image.
# BENCH_LATENCY_MIB and BENCH_MEMORY_MIB change the sizes.
set -euo pipefail
source "$(dirname "$0")/env.sh"
choose_build
announce_arch "benchmarking"

bash "$repo/scripts/install-deps.sh"
bash "$repo/scripts/build.sh" --target write-bench
trap end_wine_session EXIT
start_wine_session

bench() { run_wine "$build_dir/bin/write-bench.exe" "$@" | tr -d '\r'; }
for mib in ${BENCH_LATENCY_MIB:-256}; do bench latency "$mib" "${BENCH_ROUNDS:-5}"; done
for mib in ${BENCH_MEMORY_MIB:-16 512}; do bench memory "$mib"; done
