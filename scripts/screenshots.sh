#!/usr/bin/env bash
# Remakes the screenshots of the user guide (docs/images/) from the real tool under Wine and Xvfb, in
# English and Japanese: the window ready to write, a write in progress, its result, and the version read
# back, against a virtual transmitter.
set -euo pipefail
source "$(dirname "$0")/env.sh"
choose_build
announce_arch "taking screenshots with"

unset DISPLAY  # always a private Xvfb: the pictures must not depend on the desktop they were taken on
cleanup() {
  transmitter unplug --all >/dev/null || true
  end_wine_session
}
bash "$repo/scripts/install-deps.sh"
bash "$repo/scripts/build.sh" --target Vandrel virtual-transmitter vandrel-remote
trap cleanup EXIT
start_wine_session

bin=$build_dir/bin
images=$repo/docs/images
mkdir -p "$images"
remote() { window_remote Guide "$@"; }

# A package like a vendor's, where a user would keep it (C:\Firmware): one image per hardware version,
# packed with the tool's built-in password.
work=$build_dir/guide
firmware=$WINEPREFIX/drive_c/Firmware
rm -rf "$work" "$firmware" && mkdir -p "$work" "$firmware"
for v in 0 1 2; do head -c $((2 * 1024 * 1024)) /dev/urandom > "$work/fw_V$v.img"; done
make_firmware_package "$work" "$firmware/Q2_firmware_1.4.bin" fw_V0.img fw_V1.img fw_V2.img
package='C:\Firmware\Q2_firmware_1.4.bin'

# The virtual desktop, the size of the screenshots; the window sits at its top left.
size=620x236
shot() { import -window root -crop "$size+0+0" +repage "$images/$1.png"; echo "screenshots: docs/images/$1.png"; }

for language in en ja; do
  locale=C.UTF-8
  [ "$language" = ja ] && locale=ja_JP.UTF-8
  transmitter unplug --all >/dev/null
  LANG=$locale run_wine explorer.exe /desktop=Guide,$size "$bin/Vandrel.exe" >/dev/null 2>&1 &
  tool=$!
  remote wait >/dev/null
  # Plugged once the tool runs (its start puts the driver in place); a write takes four seconds.
  transmitter plug --pid 0x110B --version V1.4.0 --upgrade-ms 4000 >/dev/null
  remote select-file "$package" >/dev/null
  sleep 1
  shot "$language-ready"
  remote click start-writing
  sleep 2
  shot "$language-writing"
  remote show-box 60 >/dev/null
  sleep 0.5
  shot "$language-write-successful"
  remote box >/dev/null
  remote click confirm-version
  remote show-box >/dev/null
  sleep 0.5
  shot "$language-version"
  remote box >/dev/null
  remote close >/dev/null
  wait "$tool" 2>/dev/null || true
done
