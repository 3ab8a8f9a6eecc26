#!/usr/bin/env bash
# Copies the real files of the seed corpora in: small NE and PE modules and
# ICO files from Debian's packages, each under ~150 KB. The extract target's
# copies carry its two leading bytes (selector, icon number).
# usage: seed-real.sh CORPUS_DIR TESTDATA_DIR
set -euo pipefail
corpus=$1
testdata=$2
mkdir -p "$corpus/module" "$corpus/ico" "$corpus/extract"

modules=(
  /usr/share/wine/fonts/vgasys.fon
  /usr/share/wine/fonts/smalle.fon
  "$testdata/wine-i386/hh.exe"
)
icos=(
  /usr/share/clang/scan-view-14/share/bugcatcher.ico
  /usr/share/nsis/Contrib/Graphics/Icons/classic-install.ico
  /usr/share/nsis/Contrib/Graphics/Icons/llama-blue.ico
  /usr/share/nsis/Contrib/Graphics/Icons/pixel-install.ico
  /usr/share/nsis/Contrib/Graphics/Icons/nsis3-install.ico
)
for f in "${modules[@]}"; do
  [ -f "$f" ] || continue
  name=real-$(basename "$f")
  cp "$f" "$corpus/module/$name"
  # .exe source (selector 1), group 1
  { printf '\001\001'; cat "$f"; } >"$corpus/extract/$name"
done
for f in "${icos[@]}"; do
  [ -f "$f" ] || continue
  name=real-$(basename "$f")
  cp "$f" "$corpus/ico/$name"
  # .ico source (selector 0), group 1, output .bmp for every other one
  { printf '\000\001'; cat "$f"; } >"$corpus/extract/$name"
done
