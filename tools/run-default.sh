#!/usr/bin/env bash
# The main job on a default input: the icons of our own Windows program,
# extracted by brimlet-extract into out/.
set -euo pipefail
build=${1:-build}
source=$build/win32/app/Brimlet.exe
[ -f "$source" ] || source=$build/testdata/wine-i386/shell32.dll
out=out/$(basename "$source" | sed 's/\.[^.]*$//')
echo "Built: $build/linux/tools/brimlet-extract, $build/win32/app/Brimlet.exe"
"$build/linux/tools/brimlet-extract" "$source" "$out"
echo "Wrote into $out:"
ls -l "$out"
