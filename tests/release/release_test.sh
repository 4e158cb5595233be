#!/usr/bin/env bash
# The release command, end to end on files this test makes: it refuses the stand-ins, a 64-bit and an
# incomplete upgrade library, each with its message; given files that pass, it writes dist/ with a
# Vandrel.exe that carries exactly those files as its resources.
#
#   release_test.sh BIN-FOLDER WINE-COMMAND...   (run by CTest; BIN-FOLDER holds the development build)
set -uo pipefail
bin=$1
shift
wine_command=("$@")
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# Fakes of the vendor's files, with none of the stand-in mark: the binding tests' complete library
# (32-bit), the same lacking an entry point and built for x86-64, an x86-64 program and DLL, and a
# driver package of plain text.
mkdir -p "$work/good" "$work/partial" "$work/x64"
build_library() {  # COMPILER OUTPUT [DEFINE]
  "$1" -shared -O1 -static -static-libgcc -static-libstdc++ -DUNICODE -D_UNICODE -I"$repo" ${3:+-D$3} \
    -Wl,--kill-at -o "$2" "$repo/tests/app/fake_rkupgrade.cpp"
}
build_library i686-w64-mingw32-g++-posix "$work/good/RKUpgrade.dll" || fail "cannot build the 32-bit library"
build_library i686-w64-mingw32-g++-posix "$work/partial/RKUpgrade.dll" VANDREL_LEAVE_OUT_UNLOCK ||
  fail "cannot build the incomplete library"
build_library x86_64-w64-mingw32-g++-posix "$work/x64/RKUpgrade.dll" || fail "cannot build the 64-bit library"
echo 'int main(void) { return 0; }' > "$work/tool.c"
echo '__declspec(dllexport) int DriverPackageInstallW(void) { return 0; }' > "$work/difx.c"
x86_64-w64-mingw32-gcc-posix -o "$work/good/driver_x64.exe" "$work/tool.c" || fail "cannot build the tool"
x86_64-w64-mingw32-gcc-posix -shared -o "$work/good/DIFxAPI.dll" "$work/difx.c" || fail "cannot build DIFxAPI"
printf '[Version]\r\nSignature = "$Windows NT$"\r\n' > "$work/good/rockusb.inf"
printf 'driver binary\n' > "$work/good/rockusb.sys"
printf 'catalog\n' > "$work/good/rockusb.cat"

# release ARGUMENT-OVERRIDES...: runs the command on the good files, some replaced; its output in $said.
release() {
  declare -A file=([rkupgrade]=$work/good/RKUpgrade.dll [driver-tool]=$work/good/driver_x64.exe
                   [difxapi]=$work/good/DIFxAPI.dll [inf]=$work/good/rockusb.inf [sys]=$work/good/rockusb.sys
                   [cat]=$work/good/rockusb.cat)
  while [ $# -gt 0 ]; do file[$1]=$2; shift 2; done
  local arguments=()
  for name in rkupgrade driver-tool difxapi inf sys cat; do arguments+=("--$name" "${file[$name]}"); done
  said=$(VANDREL_RELEASE_BUILD_DIR="$work/build" bash "$repo/scripts/release.sh" "${arguments[@]}" \
           --out "$work/dist" 2>&1)
}

# expect_refusal WHAT MESSAGE-PART OVERRIDES...
expect_refusal() {
  local what=$1 part=$2
  shift 2
  if release "$@"; then
    fail "$what: the release was not refused"
  elif ! grep -qF -- "$part" <<<"$said"; then
    fail "$what: the refusal does not say \"$part\": $said"
  fi
  [ ! -e "$work/dist/Vandrel.exe" ] || fail "$what: dist/ was written"
}

expect_refusal "stand-in upgrade library" "$bin/RKUpgrade.dll is a development stand-in" rkupgrade "$bin/RKUpgrade.dll"
expect_refusal "stand-in driver tool" "is a development stand-in" driver-tool "$bin/../x64/bin/driver_x64.exe"
expect_refusal "stand-in driver package" "is a development stand-in" inf "$bin/../x64/bin/rockusb.inf"
expect_refusal "64-bit upgrade library" "is not a 32-bit Windows DLL" rkupgrade "$work/x64/RKUpgrade.dll"
expect_refusal "incomplete upgrade library" "does not export RK_UnlockDeviceW" rkupgrade "$work/partial/RKUpgrade.dll"
expect_refusal "32-bit driver tool" "is not an x86-64 Windows program" driver-tool "$work/good/RKUpgrade.dll"

if ! release; then
  fail "the release of good files was refused: $said"
else
  for name in Vandrel.exe Vandrel.exe.sha256 THIRD_PARTY_NOTICES.md; do
    [ -f "$work/dist/$name" ] || fail "dist/ lacks $name"
  done
  (cd "$work/dist" && sha256sum --quiet -c Vandrel.exe.sha256) || fail "Vandrel.exe.sha256 does not match"
  x86_64-w64-mingw32-objdump -f "$work/dist/Vandrel.exe" | grep -q 'file format pei-i386' ||
    fail "the released Vandrel.exe is not 32-bit"
  digests=$("${wine_command[@]}" "$bin/resource-digests.exe" "$(cd "$work/dist" && pwd)/Vandrel.exe" 2>/dev/null | tr -d '\r')
  # Resource id and the file it must hold, as resources/resource.h numbers them.
  for pair in 132:good/RKUpgrade.dll 137:good/DIFxAPI.dll 138:good/driver_x64.exe 139:good/rockusb.cat \
              140:good/rockusb.inf 141:good/rockusb.sys; do
    id=${pair%%:*}
    expected=$(sha256sum "$work/${pair#*:}" | cut -d' ' -f1)
    grep -qx "$id $expected" <<<"$digests" || fail "resource $id is not ${pair#*:} (the tool carries: $digests)"
  done
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "release command: all checks passed"
