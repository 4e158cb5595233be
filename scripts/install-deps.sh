#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root. Idempotent: when everything is
# already there it only checks and returns.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-i686
  cmake make googletest
  wine wine64 wine32:i386
  xvfb xauth x11-utils imagemagick
  locales fonts-noto-cjk fonts-wine
  7zip
  git openssl osslsigncode python3
)
# npm comes with some Node.js builds (and then conflicts with Debian's package).
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
have_i386=no
dpkg --print-foreign-architectures | grep -qx i386 && have_i386=yes
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "$have_i386" = no ]; then
  echo "install-deps: adding the i386 architecture"
  dpkg --add-architecture i386
fi
if [ "${#missing[@]}" -gt 0 ] || [ "$have_i386" = no ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests start the tool with an English and with a Japanese user interface.
need_locale=no
for l in en_US.UTF-8 ja_JP.UTF-8; do
  locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || need_locale=yes
done
if [ "$need_locale" = yes ]; then
  echo "install-deps: generating locales"
  sed -i -E 's/^# *(en_US.UTF-8 UTF-8)/\1/; s/^# *(ja_JP.UTF-8 UTF-8)/\1/' /etc/locale.gen
  locale-gen >/dev/null
fi
