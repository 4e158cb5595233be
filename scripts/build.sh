#!/usr/bin/env bash
# Configures and builds the tool, its stand-ins and its tests: the 32-bit build, or on an x64 host
# (see env.sh) the x86-64 build beside the 32-bit tool users get. Arguments go to the tested build
# (for example --target write-bench).
set -euo pipefail
source "$(dirname "$0")/env.sh"
choose_build

# configure_and_build DIR TOOLCHAIN [cmake --build arguments...]
configure_and_build() {
  local dir=$1 chain=$2
  shift 2
  cmake -S "$repo" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$chain" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$dir" -j"$(nproc)" "$@"
}

if [ "$arch" = x64 ]; then
  configure_and_build "$release_dir" "$repo/cmake/toolchain-mingw-i686.cmake" --target Vandrel
fi
configure_and_build "$build_dir" "$toolchain" "$@"
