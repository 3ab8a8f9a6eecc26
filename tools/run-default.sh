#!/usr/bin/env bash
# The main job on a default input: the icons of our own Windows program,
# extracted by the native brimlet-extract into out/<name>/, then listed.
# Until the Windows program is built, Wine's 32-bit shell32.dll stands in.
set -euo pipefail
build=${1:-build}
tool=$build/linux/tools/brimlet-extract
source=$build/win32/app/Brimlet.exe
if [ ! -f "$source" ]; then
  echo "run: $source is not built; extracting Wine's shell32.dll instead"
  source=$build/testdata/wine-i386/shell32.dll
fi
out=out/$(basename "$source" | sed 's/\.[^.]*$//')
rm -rf "$out"
echo "run: $tool $source $out"
"$tool" "$source" "$out"
echo
echo "Groups of $source:"
"$tool" --list "$source"
echo
echo "Wrote into $out:"
ls -lv "$out"
