#!/usr/bin/env bash
# Builds the tool users get: the 32-bit Vandrel.exe with the vendor's files embedded in place of the
# development stand-ins, into dist/ with its SHA-256, RELEASE.txt and the third-party notices.
#
#   bash scripts/release.sh --rkupgrade PATH --driver-tool PATH --difxapi PATH \
#                           --inf PATH --sys PATH --cat PATH [--out FOLDER] \
#                           [--sign-pkcs12 FILE --sign-password-file FILE [--timestamp-url URL]] \
#                           [--check-reproducible]
#
# Every file is checked first, and the build is refused with a message when one is missing, carries the
# stand-in mark, or is not what the tool needs: RKUpgrade.dll must be a 32-bit DLL exporting every entry
# point of upgrade/rk_entry_points.inc, driver_x64.exe an x86-64 program, DIFxAPI.dll an x86-64 DLL.
# The build is reproducible: the same commit and files give the same bytes in any folder, on either kind
# of host; --check-reproducible builds a second time from a copy of the sources in another folder and
# publishes nothing unless both are identical. With a certificate the program is signed (scripts/sign.sh).
# VANDREL_RELEASE_BUILD_DIR chooses the build folder (build-release).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$repo/dist
build=${VANDREL_RELEASE_BUILD_DIR:-$repo/build-release}

usage() {
  echo "usage: bash scripts/release.sh --rkupgrade PATH --driver-tool PATH --difxapi PATH --inf PATH --sys PATH --cat PATH [--out FOLDER] [--sign-pkcs12 FILE --sign-password-file FILE [--timestamp-url URL]] [--check-reproducible]" >&2
  exit 2
}
refuse() {
  echo "release: $*" >&2
  exit 1
}

declare -A given=()
pkcs12= password_file= timestamp_url= check_reproducible=no
while [ $# -gt 0 ]; do
  case "$1" in
    --rkupgrade|--driver-tool|--difxapi|--inf|--sys|--cat) [ $# -ge 2 ] || usage; given[${1#--}]=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --sign-pkcs12) [ $# -ge 2 ] || usage; pkcs12=$2; shift 2 ;;
    --sign-password-file) [ $# -ge 2 ] || usage; password_file=$2; shift 2 ;;
    --timestamp-url) [ $# -ge 2 ] || usage; timestamp_url=$2; shift 2 ;;
    --check-reproducible) check_reproducible=yes; shift ;;
    *) usage ;;
  esac
done
for name in rkupgrade driver-tool difxapi inf sys cat; do
  [ -n "${given[$name]:-}" ] || usage
  [ -f "${given[$name]}" ] || refuse "--$name: no such file: ${given[$name]}"
  given[$name]=$(cd "$(dirname "${given[$name]}")" && pwd)/$(basename "${given[$name]}")
done
if [ -n "$pkcs12" ] || [ -n "$password_file" ]; then
  [ -n "$pkcs12" ] && [ -n "$password_file" ] || refuse "signing needs both --sign-pkcs12 and --sign-password-file"
fi
[ -z "$timestamp_url" ] || [ -n "$pkcs12" ] || refuse "--timestamp-url is for signing: give --sign-pkcs12 and --sign-password-file too"

bash "$repo/scripts/install-deps.sh"
objdump=x86_64-w64-mingw32-objdump  # reads 32-bit and 64-bit Windows files alike

# A release names the commit it was built from, and takes from it the time that anything in the build
# might otherwise take from the clock.
commit=$(git -C "$repo" rev-parse HEAD 2>/dev/null) ||
  refuse "$repo is not a git checkout: a release names the commit it is built from"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct)}
local_changes=$(git -C "$repo" status --porcelain)
[ -z "$local_changes" ] ||
  echo "release: the working tree differs from commit ${commit:0:12}: RELEASE.txt says so, and a build of the commit alone may differ"

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

# A wrong password or certificate is told now, not after the build.
signing=()
if [ -n "$pkcs12" ]; then
  signing=(--pkcs12 "$pkcs12" --password-file "$password_file")
  [ -z "$timestamp_url" ] || signing+=(--timestamp-url "$timestamp_url")
  signer=$(bash "$repo/scripts/sign.sh" "${signing[@]}" --subject) || refuse "cannot sign with $pkcs12 (see above)"
fi

scratch=$(mktemp -d)
keep_scratch=no
trap '[ "$keep_scratch" = yes ] || rm -rf "$scratch"' EXIT

# build_release SOURCE-FOLDER BUILD-FOLDER: configures and builds the 32-bit tool with the vendor's files.
build_release() {
  local source=$1 folder=$2
  cmake -S "$source" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVANDREL_TESTS=OFF \
    -DVANDREL_VENDOR_RKUPGRADE="$library" -DVANDREL_VENDOR_DRIVER_TOOL="$tool" -DVANDREL_VENDOR_DIFXAPI="$difxapi" \
    -DVANDREL_VENDOR_ROCKUSB_INF="${given[inf]}" -DVANDREL_VENDOR_ROCKUSB_SYS="${given[sys]}" \
    -DVANDREL_VENDOR_ROCKUSB_CAT="${given[cat]}" >/dev/null
  cmake --build "$folder" -j"$(nproc)" --target Vandrel >/dev/null
}

echo "release: the six files pass their checks; building the 32-bit tool in $build"
build_release "$repo" "$build"
built=$build/bin/Vandrel.exe

if [ "$check_reproducible" = yes ]; then
  # A second clone: the sources as they are in the working tree (tracked files and new ones not ignored),
  # in a folder of another name and depth, built into another build folder.
  copy=$scratch/second-clone/Vandrel-sources
  mkdir -p "$copy"
  git -C "$repo" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ ! -e "$repo/$file" ] || printf '%s\0' "$file"; done |
    (cd "$repo" && tar --null -T - -cf -) | tar -xf - -C "$copy"
  echo "release: checking reproducibility: building again from a copy of the sources in $copy"
  build_release "$copy" "$scratch/second-clone/build"
  again=$scratch/second-clone/build/bin/Vandrel.exe
  if ! differences=$(bash "$repo/scripts/compare-builds.sh" "$built" "$again"); then
    keep_scratch=yes
    echo "$differences" >&2
    refuse "not reproducible: $built and $again differ (above); nothing was published"
  fi
  echo "release: reproducible: the build from $copy is byte-identical"
fi

# dist/ is assembled aside and written only once everything, the signature included, is in place.
stage=$scratch/dist
mkdir -p "$stage"
if [ -n "$pkcs12" ]; then
  signed=$(bash "$repo/scripts/sign.sh" "${signing[@]}" "$built" "$stage/Vandrel.exe") || refuse "signing failed (see above)"
  echo "release: $signed"
  signature="yes, Authenticode (SHA-256), by $signer, $([ -n "$timestamp_url" ] && echo "time-stamped by $timestamp_url" || echo "without a time stamp")"
else
  cp "$built" "$stage/Vandrel.exe"
  echo "release: not signed: give --sign-pkcs12 and --sign-password-file to sign"
  signature="no"
fi
(cd "$stage" && sha256sum Vandrel.exe > Vandrel.exe.sha256)
cp "$repo/THIRD_PARTY_NOTICES.md" "$stage/THIRD_PARTY_NOTICES.md"

version=$(sed -n 's/^#define VANDREL_VERSION_TEXT "\(.*\)"$/\1/p' "$build/resources/version.h")
digest() { sha256sum "$1" | cut -d' ' -f1; }
{
  echo "Quorra2 Transmitter Update Tool (Vandrel.exe), version $version, 32-bit"
  echo "Commit: $commit of $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ)$([ -z "$local_changes" ] || echo ", with changes not committed")"
  echo "Signed: $signature"
  echo "SHA-256 of Vandrel.exe: $(digest "$stage/Vandrel.exe")"
  echo "SHA-256 of the unsigned build: $(digest "$built")"
  echo
  echo "Files the tool carries (SHA-256):"
  for pair in RKUpgrade.dll:rkupgrade driver_x64.exe:driver-tool DIFxAPI.dll:difxapi rockusb.inf:inf \
              rockusb.sys:sys rockusb.cat:cat; do
    echo "$(digest "${given[${pair#*:}]}")  ${pair%%:*}"
  done
  for name in 7z.exe 7z.dll; do
    echo "$(digest "$build/third_party/7-Zip/$name")  $name (7-Zip 26.03, see THIRD_PARTY_NOTICES.md)"
  done
} > "$stage/RELEASE.txt"

mkdir -p "$out"
cp "$stage"/* "$out/"
echo "release: $out/Vandrel.exe ($(cut -d' ' -f1 "$out/Vandrel.exe.sha256")), with RELEASE.txt"
