#!/usr/bin/env bash
# A signed program still starts and writes. A release carries the vendor's files and cannot talk to a
# virtual transmitter (nor run at all where 32-bit code cannot), so this signs a copy of the tested
# build's own Vandrel.exe, which carries the stand-ins, with scripts/sign.sh as a release is signed;
# osslsigncode accepts it against the test's CA; then it is started under Wine and writes a firmware
# package into a virtual transmitter through its window, driven by vandrel-remote.
#
#   signed_tool_test.sh BUILD-FOLDER   (run by CTest, alone: it plugs a device and runs the tool)
set -euo pipefail
build=$1
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
source "$(dirname "$0")/../../scripts/env.sh"
choose_build
build_dir=$build  # transmitter and window_remote drive this build's programs
work=$(mktemp -d)
tool= device=

stop() {
  echo "FAILED: $*" >&2
  exit 1
}
remote() { window_remote Signed "$@"; }
cleanup() {
  if [ -n "$tool" ] && kill -0 "$tool" 2>/dev/null; then
    remote close 20 >/dev/null || true
    wait "$tool" 2>/dev/null || true
  fi
  [ -z "$device" ] || transmitter unplug "$device" >/dev/null || true
  transmitter service remove >/dev/null 2>&1 || true  # the tool removes it when it closes
  rm -rf "$work"
}
trap cleanup EXIT

source "$repo/tests/release/code_signing_ca.sh"
make_code_signing_certificate "$work/ca" || stop "cannot make the test's certificates"
bash "$repo/scripts/sign.sh" --pkcs12 "$work/ca/signer.p12" --password-file "$work/ca/password.txt" \
  "$build/bin/Vandrel.exe" "$work/Vandrel.exe"
verified=$(osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$work/Vandrel.exe" 2>&1) ||
  stop "osslsigncode does not accept the signed copy: $verified"

# One image per hardware version, packed as a vendor's package is.
mkdir -p "$work/images"
for v in 0 1 2; do head -c $((1024 * 1024 + v * 4096)) /dev/urandom > "$work/images/fw_V$v.img"; done
make_firmware_package "$work/images" "$work/firmware.bin" fw_V0.img fw_V1.img fw_V2.img
package=$(run_wine winepath.exe -w "$work/firmware.bin" | tr -d '\r')
expected=$(sha256sum "$work/images/fw_V1.img" | cut -d' ' -f1)

# As scripts/run.sh does: the service entry first, so that the device is bound when it is plugged.
transmitter service install >/dev/null
device=$(transmitter plug --pid 0x110B --version V1.0.0)
[ -n "$device" ] || stop "cannot plug a virtual transmitter"
run_wine explorer.exe /desktop=Signed,800x400 "$work/Vandrel.exe" >/dev/null 2>&1 &
tool=$!
title=$(remote wait) || stop "the signed Vandrel.exe shows no main dialog: $title"
picked=$(remote select-file "$package") || stop "cannot pick the package: $picked"
remote click start-writing
result=$(remote box 120) || true
[ "$result" = "Message | Write successful" ] || stop "the signed tool says \"$result\", not \"Write successful\""
closed=$(remote close) || stop "the signed tool does not end when closed: $closed"
wait "$tool" 2>/dev/null || true
tool=

written=$(transmitter list | DEVICE="$device" awk -F'\t' '$1 == ENVIRON["DEVICE"] { print $9 }')
[ "$written" = "$expected" ] || stop "the transmitter holds ${written:-nothing}, not the V1 image $expected"
echo "signed tool: $title started signed and wrote the V1 image into $device"
