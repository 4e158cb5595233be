#!/usr/bin/env bash
# The release command, end to end on vendor-like files (the build's fake upgrade libraries and files made
# here, none with the stand-in mark). It refuses the stand-ins, a 64-bit and an incomplete upgrade
# library, a 32-bit driver tool and a certificate it cannot open, each with its message. Given files that
# pass and a throw-away CA's code-signing certificate, it writes dist/ with a Vandrel.exe that carries
# exactly those files, that osslsigncode accepts against that CA and rejects after one changed byte, and
# whose unsigned build is byte-identical to a second build from another folder; with a time-stamp URL
# (a throw-away server here) the signature carries a time stamp.
#
#   release_test.sh BIN-FOLDER LIBRARY-32 PARTIAL-LIBRARY-32 LIBRARY-64 WINE-COMMAND...
# Run by CTest: BIN-FOLDER holds the development build; the libraries are the build's complete and
# incomplete 32-bit fake upgrade libraries and its complete 64-bit one.
set -uo pipefail
bin=$1 library32=$2 partial32=$3 library64=$4
shift 4
wine_command=("$@")
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
server_pid=
trap '[ -z "$server_pid" ] || kill "$server_pid"; rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

source "$repo/tests/release/code_signing_ca.sh"
make_code_signing_certificate "$work/ca" || fail "cannot make the test's certificates"
signing=(--sign-pkcs12 "$work/ca/signer.p12" --sign-password-file "$work/ca/password.txt")
printf 'not the password\n' > "$work/wrong-password.txt"

# Besides the fake library: an x86-64 program and DLL, and a driver package of plain text.
mkdir -p "$work/good"
echo 'int main(void) { return 0; }' > "$work/tool.c"
echo '__declspec(dllexport) int DriverPackageInstallW(void) { return 0; }' > "$work/difx.c"
x86_64-w64-mingw32-gcc-posix -o "$work/good/driver_x64.exe" "$work/tool.c" || fail "cannot build the tool"
x86_64-w64-mingw32-gcc-posix -shared -o "$work/good/DIFxAPI.dll" "$work/difx.c" || fail "cannot build DIFxAPI"
printf '[Version]\r\nSignature = "$Windows NT$"\r\n' > "$work/good/rockusb.inf"
printf 'driver binary\n' > "$work/good/rockusb.sys"
printf 'catalog\n' > "$work/good/rockusb.cat"

# release [NAME FILE]... [-- OPTION...]: runs the command on the good files, those NAMEd replaced, with
# the OPTIONs added; its output in $said.
release() {
  declare -A file=([rkupgrade]=$library32 [driver-tool]=$work/good/driver_x64.exe
                   [difxapi]=$work/good/DIFxAPI.dll [inf]=$work/good/rockusb.inf [sys]=$work/good/rockusb.sys
                   [cat]=$work/good/rockusb.cat)
  while [ $# -gt 0 ] && [ "$1" != -- ]; do file[$1]=$2; shift 2; done
  [ $# -eq 0 ] || shift
  local arguments=()
  for name in rkupgrade driver-tool difxapi inf sys cat; do arguments+=("--$name" "${file[$name]}"); done
  said=$(VANDREL_RELEASE_BUILD_DIR="$work/build" bash "$repo/scripts/release.sh" "${arguments[@]}" \
           --out "$work/dist" "$@" 2>&1)
}

# expect_refusal WHAT MESSAGE-PART [NAME FILE]... [-- OPTION...]
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
expect_refusal "64-bit upgrade library" "is not a 32-bit Windows DLL" rkupgrade "$library64"
expect_refusal "incomplete upgrade library" "does not export RK_UnlockDeviceW" rkupgrade "$partial32"
expect_refusal "32-bit driver tool" "is not an x86-64 Windows program" driver-tool "$library32"
expect_refusal "wrong certificate password" "cannot open $work/ca/signer.p12 with the password" \
  -- --sign-pkcs12 "$work/ca/signer.p12" --sign-password-file "$work/wrong-password.txt"

# flip_byte FILE OFFSET: inverts the bits of one byte in place.
flip_byte() {
  local value
  value=$(od -An -tu1 -j "$2" -N 1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((value ^ 0xff)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# What the tool carries, by resource id (resources/resource.h), name and the file it must hold.
carried=(132:RKUpgrade.dll:$library32 137:DIFxAPI.dll:$work/good/DIFxAPI.dll
         138:driver_x64.exe:$work/good/driver_x64.exe 139:rockusb.cat:$work/good/rockusb.cat
         140:rockusb.inf:$work/good/rockusb.inf 141:rockusb.sys:$work/good/rockusb.sys)
dist=$work/dist
if ! release -- "${signing[@]}"; then
  fail "the signed release of good files was refused: $said"
else
  grep -q "^release: signed .* as CN=Vandrel Test Signer,O=Olvast Test, without a time stamp" <<<"$said" ||
    fail "the release does not say who signed it and that it has no time stamp: $said"
  for name in Vandrel.exe Vandrel.exe.sha256 THIRD_PARTY_NOTICES.md RELEASE.txt; do
    [ -f "$dist/$name" ] || fail "dist/ lacks $name"
  done
  (cd "$dist" && sha256sum --quiet -c Vandrel.exe.sha256) || fail "Vandrel.exe.sha256 does not match the signed program"
  x86_64-w64-mingw32-objdump -f "$dist/Vandrel.exe" | grep -q 'file format pei-i386' ||
    fail "the released Vandrel.exe is not 32-bit"
  # Only DLLs that Windows takes from System32 whatever the program's folder (KnownDLLs, and comctl32
  # through the manifest): anything else could be planted beside the elevated tool.
  while read -r dll; do
    case "${dll,,}" in
      advapi32.dll|comctl32.dll|comdlg32.dll|gdi32.dll|kernel32.dll|msvcrt.dll|ole32.dll|oleaut32.dll|\
      setupapi.dll|shell32.dll|shlwapi.dll|user32.dll) ;;
      *) fail "the released Vandrel.exe imports $dll, which can be planted beside it" ;;
    esac
  done < <(x86_64-w64-mingw32-objdump -p "$dist/Vandrel.exe" | sed -n 's/^\s*DLL Name: //p')

  verified=$(osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$dist/Vandrel.exe" 2>&1) ||
    fail "osslsigncode does not accept the signed program against the test's CA: $verified"
  cp "$dist/Vandrel.exe" "$work/tampered.exe"
  flip_byte "$work/tampered.exe" $(($(stat -c %s "$work/tampered.exe") / 2))
  if osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$work/tampered.exe" >/dev/null 2>&1; then
    fail "osslsigncode accepts the signed program with one byte changed"
  fi

  digests=$("${wine_command[@]}" "$bin/resource-digests.exe" "$dist/Vandrel.exe" | tr -d '\r')
  release_text=$(cat "$dist/RELEASE.txt")
  for entry in "${carried[@]}"; do
    IFS=: read -r id name file <<<"$entry"
    expected=$(sha256sum "$file" | cut -d' ' -f1)
    grep -qx "$id $expected" <<<"$digests" || fail "resource $id is not $file (the tool carries: $digests)"
    grep -qx "$expected  $name" <<<"$release_text" || fail "RELEASE.txt does not give the SHA-256 of $name"
  done
  version=$(sed -n 's/^project(Vandrel VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
  for line in "version $version, 32-bit" "Commit: $(git -C "$repo" rev-parse HEAD) of " \
              "Signed: yes, Authenticode (SHA-256), by CN=Vandrel Test Signer,O=Olvast Test, without a time stamp" \
              "SHA-256 of Vandrel.exe: $(cut -d' ' -f1 "$dist/Vandrel.exe.sha256")"; do
    grep -qF -- "$line" <<<"$release_text" || fail "RELEASE.txt lacks \"$line\": $release_text"
  done
fi

# Unsigned, checked for reproducibility: a second build from a copy of the sources in another folder.
unsigned=$work/unsigned
if ! release -- --check-reproducible --out "$unsigned"; then
  fail "the release with --check-reproducible failed: $said"
else
  grep -q "^release: reproducible" <<<"$said" || fail "the release does not say that it is reproducible: $said"
  [ "$(grep -c "not signed" <<<"$said")" -eq 1 ] || fail "the release does not say once that it is not signed: $said"
  grep -qx "Signed: no" "$unsigned/RELEASE.txt" || fail "RELEASE.txt does not say that the program is not signed"
  # The signed release is exactly this build with a signature: the signature moved onto it gives the
  # signed program byte for byte.
  if [ -f "$dist/Vandrel.exe" ]; then
    grep -qx "SHA-256 of the unsigned build: $(sha256sum "$unsigned/Vandrel.exe" | cut -d' ' -f1)" "$dist/RELEASE.txt" ||
      fail "the signed release's RELEASE.txt gives another unsigned build than this one"
    if ! moved=$(osslsigncode extract-signature -in "$dist/Vandrel.exe" -out "$work/signature.der" 2>&1 &&
                 osslsigncode attach-signature -sigin "$work/signature.der" -CAfile "$work/ca/ca.pem" \
                   -in "$unsigned/Vandrel.exe" -out "$work/resigned.exe" 2>&1); then
      fail "cannot move the signature onto the unsigned build: $moved"
    elif ! cmp -s "$work/resigned.exe" "$dist/Vandrel.exe"; then
      fail "the unsigned build with the release's signature is not the signed release"
    fi
  fi
fi

# Time-stamped by a throw-away RFC 3161 server of the same CA (the build above is reused).
if ! make_time_stamp_authority "$work/ca"; then
  fail "cannot make the test's time-stamping certificate"
else
  coproc time_stamps { exec python3 "$repo/tests/release/time_stamp_server.py" "$work/ca/tsa.cnf"; }
  server_pid=$time_stamps_PID
  read -r port <&"${time_stamps[0]}" || fail "the time-stamp server did not start"
  url=http://127.0.0.1:$port/
  export no_proxy=127.0.0.1${no_proxy:+,$no_proxy}  # osslsigncode asks through curl, which would take a proxy
  if ! release -- "${signing[@]}" --timestamp-url "$url" --out "$work/stamped"; then
    fail "the time-stamped release failed: $said"
  else
    grep -qF "with a time stamp from $url" <<<"$said" || fail "the release does not say it is time-stamped: $said"
    grep -qF "time-stamped by $url" "$work/stamped/RELEASE.txt" || fail "RELEASE.txt does not name the time stamp"
    if ! verified=$(osslsigncode verify -CAfile "$work/ca/ca.pem" -TSA-CAfile "$work/ca/ca.pem" \
                      -in "$work/stamped/Vandrel.exe" 2>&1) ||
       ! grep -q "Timestamp Server Signature verification: ok" <<<"$verified"; then
      fail "osslsigncode does not accept the time-stamped program with its time stamp: $verified"
    fi
  fi
fi

# How a difference between two builds is told: a changed PE time stamp is named with its offset.
if [ -f "$unsigned/Vandrel.exe" ]; then
  cp "$unsigned/Vandrel.exe" "$work/restamped.exe"
  stamp=$(($(od -An -tu4 -j 60 -N 4 "$work/restamped.exe" | tr -d ' ') + 8))  # e_lfanew + 8
  flip_byte "$work/restamped.exe" "$stamp"
  if compared=$(bash "$repo/scripts/compare-builds.sh" "$unsigned/Vandrel.exe" "$work/restamped.exe" 2>&1); then
    fail "compare-builds finds two different files identical"
  else
    grep -q "1 byte(s) differ" <<<"$compared" && grep -q "$(printf '0x%08x' "$stamp") .* PE time stamp" <<<"$compared" ||
      fail "compare-builds does not name the changed time stamp: $compared"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "release command: all checks passed"
