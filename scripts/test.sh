#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine: the 32-bit build, or the
# x86-64 build on a host that cannot run 32-bit x86 code (see env.sh).
# Windows are opened on $DISPLAY when one is given, otherwise on a private Xvfb.
set -euo pipefail
source "$(dirname "$0")/env.sh"
choose_build
announce_arch testing

bash "$repo/scripts/install-deps.sh"
bash "$repo/scripts/build.sh"
trap end_wine_session EXIT
start_wine_session

cd "$build_dir"
ctest --output-on-failure --timeout 300 "$@"
