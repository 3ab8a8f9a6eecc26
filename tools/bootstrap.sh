#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, and sets up
# the private Wine prefix and the 32-bit Wine modules used as test data.
# Safe to run again: every step checks first.
set -euo pipefail

build=${1:-build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

packages=(
  cmake g++ make googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 xvfb xauth fonts-wqy-microhei icoutils locales
  clang libclang-rt-14-dev valgrind imagemagick python3-icoextract time nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the locale: zh_CN.UTF-8 gives 936 (GBK).
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "bootstrap: generating zh_CN.UTF-8"
  as_root sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi

# Wine's 32-bit modules (shell32.dll and friends) are real PE32 test inputs.
# They are unpacked from the i386 package, never installed.
wine32="$build/testdata/wine-i386"
if [ ! -f "$wine32/shell32.dll" ]; then
  echo "bootstrap: unpacking Wine's 32-bit modules"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    as_root apt-get update -qq
  fi
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download -qq libwine:i386 2>/dev/null || { as_root apt-get update -qq && apt-get download -qq libwine:i386; })
  dpkg-deb -x "$tmp"/libwine_*_i386.deb "$tmp/x"
  mkdir -p "$wine32"
  cp "$tmp"/x/usr/lib/i386-linux-gnu/wine/i386-windows/*.dll "$tmp"/x/usr/lib/i386-linux-gnu/wine/i386-windows/*.exe "$wine32"/
  rm -rf "$tmp"
fi

# A private Wine prefix for the Windows test runs.
prefix="$build/wineprefix"
if [ ! -f "$prefix/system.reg" ]; then
  echo "bootstrap: creating the Wine prefix $prefix"
  WINEPREFIX="$prefix" LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all \
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w || true
fi
echo "bootstrap: ready"
