#!/usr/bin/env bash
# Configures and builds the tool, its stand-ins and its tests for 32-bit Windows.
set -euo pipefail
source "$(dirname "$0")/env.sh"
cmake -S "$repo" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j"$(nproc)" "$@"
