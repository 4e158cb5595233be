#!/usr/bin/env bash
# Benchmarks the tool against a virtual transmitter (not part of the tests), with the tool's own phase
# timestamps beside the raw work on the same files:
# - latency: from the Start Writing click to the worker's start, phase by phase, with a package of three
#   256 MiB images, against 7za alone, a plain copy and its flush (medians of BENCH_ROUNDS rounds, 5);
#   the secure copy against CopyFileW; the longest time the dialog does not answer; the start to the
#   first "[Status]" line; the close after the writes;
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
