#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool under Wine with a virtual transmitter plugged in.
# With a display the tool opens there for you to use; without one it runs on a private Xvfb, the script
# drives the window itself, prints each step and saves screenshots.
set -euo pipefail
source "$(dirname "$0")/env.sh"
choose_build
announce_arch "running"

headless=no
[ -n "${DISPLAY:-}" ] || headless=yes
cleanup() {
  transmitter unplug --all >/dev/null || true
  transmitter service remove >/dev/null || true
  end_wine_session
}
bash "$repo/scripts/install-deps.sh"
bash "$repo/scripts/build.sh"
trap cleanup EXIT
start_wine_session

bin=$build_dir/bin
shots=$build_dir/screenshots
mkdir -p "$shots"
remote() { window_remote Vandrel "$@"; }

# A demo package: one image per hardware version, packed with the tool's built-in password.
demo=$build_dir/demo
rm -rf "$demo" && mkdir -p "$demo/images"
for v in 0 1 2; do
  head -c $((3 * 1024 * 1024 + v * 4096)) /dev/urandom > "$demo/images/fw_V$v.img"
done
make_firmware_package "$demo/images" "$demo/demo-firmware.bin" fw_V0.img fw_V1.img fw_V2.img
package=$(run_wine winepath.exe -w "$demo/demo-firmware.bin" | tr -d '\r')
expected=$(sha256sum "$demo/images/fw_V1.img" | cut -d' ' -f1)
echo "run: demo package $demo/demo-firmware.bin ($package)"

# The transmitter is plugged in before the tool starts, on a machine that has the driver already: a
# pre-install binds no device that is there already (on Windows as with the stand-in), so the service is
# put in place first and the device is bound at once. screenshots.sh plugs its device once the tool
# runs instead, which the tool's own pre-install serves.
transmitter service install >/dev/null
device=$(transmitter plug --pid 0x110B --version V1.0.0)
echo "run: plugged a virtual transmitter (hardware version 1): $device"

if [ "$headless" = no ]; then
  echo "run: starting Vandrel.exe on $DISPLAY: press Select, pick $package, press Start Writing; close the window to end"
  run_wine explorer.exe /desktop=Vandrel,800x400 "$bin/Vandrel.exe"
  transmitter list | sed 's/^/run: device: /'
  exit 0
fi

# A virtual desktop gives the windows their title bars in screenshots.
run_wine explorer.exe /desktop=Vandrel,800x400 "$bin/Vandrel.exe" >/dev/null 2>&1 &
tool=$!
echo "run: main dialog: $(remote wait)"
echo "run: picking the package through Select: $(remote select-file "$package")"
sleep 0.5
import -window root "$shots/main-dialog.png"
echo "run: screenshot $shots/main-dialog.png"

echo "run: pressing \"Start Writing\""
remote click start-writing
sleep 2
import -window root "$shots/writing.png"
echo "run: screenshot $shots/writing.png"
result=$(remote box 120)
echo "run: the tool says: $result"
remote lines | sed 's/^/run:   message list: /'

echo "run: pressing \"Confirming FW version\""
remote click confirm-version
echo "run: the tool says: $(remote box)"
echo "run: closing: $(remote close)"
wait "$tool" 2>/dev/null || true

written=$(transmitter list | DEVICE="$device" awk -F'\t' '$1 == ENVIRON["DEVICE"] { print $9 }')
if [ "$result" = "Message | Write successful" ] && [ "$written" = "$expected" ]; then
  echo "run: the transmitter holds the V1 image (SHA-256 $written): success"
else
  echo "run: FAILED: the transmitter holds ${written:-nothing}, expected the V1 image $expected" >&2
  exit 1
fi
