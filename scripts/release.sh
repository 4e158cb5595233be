#!/usr/bin/env bash
# Builds the tool users get: the 32-bit Vandrel.exe with the vendor's files embedded in place of the
# development stand-ins, into dist/ with its SHA-256 and the third-party notices.
#
#   bash scripts/release.sh --rkupgrade PATH --driver-tool PATH --difxapi PATH \
#                           --inf PATH --sys PATH --cat PATH [--out FOLDER]
#
# Every file is checked first, and the build is refused with a message when one is missing, carries the
# stand-in mark, or is not what the tool needs: RKUpgrade.dll must be a 32-bit DLL exporting every entry
# point of upgrade/rk_entry_points.inc, driver_x64.exe an x86-64 program, DIFxAPI.dll an x86-64 DLL. VANDREL_RELEASE_BUILD_DIR chooses
# the build folder (build-release).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$repo/dist
build=${VANDREL_RELEASE_BUILD_DIR:-$repo/build-release}

usage() {
  echo "usage: bash scripts/release.sh --rkupgrade PATH --driver-tool PATH --difxapi PATH --inf PATH --sys PATH --cat PATH [--out FOLDER]" >&2
  exit 2
}
refuse() {
  echo "release: $*" >&2
  exit 1
}

declare -A given=()
while [ $# -gt 0 ]; do
  case "$1" in
    --rkupgrade|--driver-tool|--difxapi|--inf|--sys|--cat) [ $# -ge 2 ] || usage; given[${1#--}]=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    *) usage ;;
  esac
done
for name in rkupgrade driver-tool difxapi inf sys cat; do
  [ -n "${given[$name]:-}" ] || usage
  [ -f "${given[$name]}" ] || refuse "--$name: no such file: ${given[$name]}"
  given[$name]=$(cd "$(dirname "${given[$name]}")" && pwd)/$(basename "${given[$name]}")
done

bash "$repo/scripts/install-deps.sh"
objdump=x86_64-w64-mingw32-objdump  # reads 32-bit and 64-bit Windows files alike

# The stand-ins carry this mark: as UTF-16 in their version resources, as ASCII in the driver package.
mark=VANDREL-STAND-IN
mark_utf16=$(printf '%s' "$mark" | sed 's/./&\\x00/g')
carries_mark() {
  LC_ALL=C grep -qaF "$mark" "$1" || LC_ALL=C grep -qaP "$mark_utf16" "$1"
}
for name in rkupgrade driver-tool difxapi inf sys cat; do
  if carries_mark "${given[$name]}"; then
    refuse "${given[$name]} is a development stand-in (it carries the $mark mark): give the vendor's file"
  fi
done

# "pei-i386" or "pei-x86-64", and whether the DLL flag (0x2000) is set.
format_of() { "$objdump" -f "$1" 2>/dev/null | sed -n 's/.*file format \(pei-[a-z0-9-]*\).*/\1/p'; }
is_dll() {
  local flags
  flags=$("$objdump" -p "$1" 2>/dev/null | sed -n 's/^Characteristics 0x\([0-9a-fA-F]*\).*/\1/p' | head -n 1)
  [ -n "$flags" ] && [ $((16#$flags & 0x2000)) -ne 0 ]
}

library=${given[rkupgrade]}
[ "$(format_of "$library")" = pei-i386 ] && is_dll "$library" ||
  refuse "the upgrade library $library is not a 32-bit Windows DLL ($(format_of "$library" || true)): the tool is 32-bit and loads only a 32-bit RKUpgrade.dll"
entry_points=$(sed -n 's/^VANDREL_RK_ENTRY([A-Za-z]*, *\([A-Za-z_]*\))$/\1/p' "$repo/upgrade/rk_entry_points.inc")
[ -n "$entry_points" ] || refuse "no entry points found in $repo/upgrade/rk_entry_points.inc"
exports=$("$objdump" -p "$library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '{print $NF}')
for entry in $entry_points; do
  grep -qx "$entry" <<<"$exports" ||
    refuse "the upgrade library $library does not export $entry (the tool needs all $(wc -w <<<"$entry_points") entry points)"
done
tool=${given[driver-tool]}
[ "$(format_of "$tool")" = pei-x86-64 ] && ! is_dll "$tool" ||
  refuse "the driver tool $tool is not an x86-64 Windows program"
difxapi=${given[difxapi]}
[ "$(format_of "$difxapi")" = pei-x86-64 ] && is_dll "$difxapi" ||
  refuse "$difxapi is not an x86-64 Windows DLL, as driver_x64.exe needs its DIFxAPI.dll to be"

echo "release: the six files pass their checks; building the 32-bit tool in $build"
cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVANDREL_TESTS=OFF \
  -DVANDREL_VENDOR_RKUPGRADE="$library" -DVANDREL_VENDOR_DRIVER_TOOL="$tool" -DVANDREL_VENDOR_DIFXAPI="$difxapi" \
  -DVANDREL_VENDOR_ROCKUSB_INF="${given[inf]}" -DVANDREL_VENDOR_ROCKUSB_SYS="${given[sys]}" \
  -DVANDREL_VENDOR_ROCKUSB_CAT="${given[cat]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target Vandrel >/dev/null

mkdir -p "$out"
cp "$build/bin/Vandrel.exe" "$out/Vandrel.exe"
cp "$repo/THIRD_PARTY_NOTICES.md" "$out/THIRD_PARTY_NOTICES.md"
(cd "$out" && sha256sum Vandrel.exe > Vandrel.exe.sha256)
echo "release: $out/Vandrel.exe ($(cut -d' ' -f1 "$out/Vandrel.exe.sha256"))"
