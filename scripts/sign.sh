#!/usr/bin/env bash
# Signs a Windows program with Authenticode (SHA-256) through osslsigncode: the one way this project
# signs, used by scripts/release.sh and by its tests.
#
#   bash scripts/sign.sh --pkcs12 FILE --password-file FILE [--timestamp-url URL] IN OUT
#       signs IN into OUT and prints one line: who signed, and whether with a time stamp
#   bash scripts/sign.sh --pkcs12 FILE --password-file FILE --subject
#       only opens the certificate and prints its subject (a check before a long build)
#
# The password is read from its file (its first line) and never appears on a command line. Without a
# time-stamp URL the signature carries none: Windows then trusts it only while the certificate is valid.
set -euo pipefail

usage() {
  echo "usage: bash scripts/sign.sh --pkcs12 FILE --password-file FILE [--timestamp-url URL] (IN OUT | --subject)" >&2
  exit 2
}
fail() {
  echo "sign: $*" >&2
  exit 1
}

pkcs12= password_file= timestamp_url= subject_only=no
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --pkcs12) [ $# -ge 2 ] || usage; pkcs12=$2; shift 2 ;;
    --password-file) [ $# -ge 2 ] || usage; password_file=$2; shift 2 ;;
    --timestamp-url) [ $# -ge 2 ] || usage; timestamp_url=$2; shift 2 ;;
    --subject) subject_only=yes; shift ;;
    -*) usage ;;
    *) files+=("$1"); shift ;;
  esac
done
[ -n "$pkcs12" ] && [ -n "$password_file" ] || usage
if [ "$subject_only" = yes ]; then [ "${#files[@]}" -eq 0 ] || usage; else [ "${#files[@]}" -eq 2 ] || usage; fi
[ -f "$pkcs12" ] || fail "no such certificate file: $pkcs12"
[ -f "$password_file" ] && [ -r "$password_file" ] || fail "cannot read the password file $password_file"
for tool in openssl osslsigncode; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (bash scripts/install-deps.sh installs it)"
done

# The subject of the certificate that goes with the key. OpenSSL 3 opens older PKCS#12 files (RC2, as
# many Windows exports are) only with its legacy algorithms.
subject_of_pkcs12() {
  local certificate
  certificate=$(openssl pkcs12 -in "$pkcs12" -passin "file:$password_file" -nokeys -clcerts 2>&1) ||
    certificate=$(openssl pkcs12 -legacy -in "$pkcs12" -passin "file:$password_file" -nokeys -clcerts 2>&1) ||
    fail "cannot open $pkcs12 with the password in $password_file: $(tail -n 1 <<<"$certificate")"
  openssl x509 -noout -subject -nameopt RFC2253 <<<"$certificate" 2>/dev/null | sed 's/^subject=//' | grep . ||
    fail "$pkcs12 holds no certificate for its key"
}

subject=$(subject_of_pkcs12)
if [ "$subject_only" = yes ]; then
  echo "$subject"
  exit 0
fi

in=${files[0]} out=${files[1]}
[ -f "$in" ] || fail "no such program: $in"
[ "$(realpath -m "$in")" != "$(realpath -m "$out")" ] || fail "IN and OUT must be two files"
arguments=(sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256
           -n "Quorra2 Transmitter Update Tool")  # the program name Windows shows when it asks for elevation
[ -z "$timestamp_url" ] || arguments+=(-ts "$timestamp_url")  # RFC 3161
# osslsigncode refuses to write over a file; a half-written OUT must not stay behind a failure.
rm -f "$out"
if ! said=$(osslsigncode "${arguments[@]}" -in "$in" -out "$out" 2>&1); then
  rm -f "$out"
  echo "sign: osslsigncode could not sign $in; it said:" >&2
  grep -v -e '^Failed$' -e '^$' <<<"$said" | sed 's/^/sign:   /' >&2
  exit 1
fi
if [ -n "$timestamp_url" ]; then
  echo "signed $(basename "$out") (Authenticode, SHA-256) as $subject, with a time stamp from $timestamp_url"
else
  echo "signed $(basename "$out") (Authenticode, SHA-256) as $subject, without a time stamp: Windows trusts the signature only while the certificate is valid"
fi
