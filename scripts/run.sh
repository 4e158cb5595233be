#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool under Wine with a virtual transmitter plugged in.
# With a display the tool opens there for you to use; without one it runs on a private Xvfb, the script
# drives the window itself, prints each step and saves screenshots.
set -euo pipefail
source "$(dirname "$0")/env.sh"

bash "$repo/scripts/install-deps.sh"
bash "$repo/scripts/build.sh"
ensure_wineprefix
headless=no
[ -n "${DISPLAY:-}" ] || headless=yes
ensure_display
start_wineserver

bin=$build_dir/bin
shots=$build_dir/screenshots
mkdir -p "$shots"
transmitter() { wine "$bin/virtual-transmitter.exe" "$@" 2>/dev/null | tr -d '\r'; }
remote() { wine "$bin/vandrel-remote.exe" --desktop Vandrel "$@" 2>/dev/null | tr -d '\r'; }
cleanup() {
  transmitter unplug --all >/dev/null || true
  transmitter service remove >/dev/null || true
  wineserver -k 2>/dev/null || true
  stop_display
}
trap cleanup EXIT

transmitter service install >/dev/null
device=$(transmitter plug --version V1.0.0)
echo "run: plugged a virtual transmitter: $device"

if [ "$headless" = no ]; then
  echo "run: starting Vandrel.exe on $DISPLAY; close its window to end"
  wine explorer /desktop=Vandrel,800x400 "$bin/Vandrel.exe"
  exit 0
fi

# A virtual desktop gives the windows their title bars in screenshots.
wine explorer /desktop=Vandrel,800x400 "$bin/Vandrel.exe" >/dev/null 2>&1 &
tool=$!
echo "run: main dialog: $(remote wait)"
sleep 1
import -window root "$shots/main-dialog.png"
echo "run: screenshot $shots/main-dialog.png"

echo "run: clicking \"Confirming FW version\""
remote click 1011
echo "run: the tool says: $(remote box)"
remote lines | sed 's/^/run:   message list: /'

echo "run: closing: $(remote close)"
wait "$tool" 2>/dev/null || true
