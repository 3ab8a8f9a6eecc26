#!/usr/bin/env bash
# brimlet-extract on Wine's 32-bit shell32.dll against an independent reader:
# every group written as n.ico must hold the images that wrestool extracts for
# the n-th group of the resource directory, image for image.
#   shell32_crosscheck.sh BRIMLET_EXTRACT TESTDATA_DIR WORK_DIR
set -euo pipefail
tool=$1 data=$2 work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source=$data/wine-i386/shell32.dll
[ -f "$source" ] || { echo "missing test input $source"; exit 1; }

rm -rf "$work"
mkdir -p "$work/theirs"
"$tool" "$source" "$work/ours" >"$work/log"
wrestool -x -t14 -o "$work/theirs/" "$source"

# The groups in the order of the directory, as wrestool lists them.
mapfile -t groups < <(wrestool -l -t14 "$source" |
  sed -n "s/^--type=14 --name='\{0,1\}\([^' ]*\)'\{0,1\} --language=\([0-9]*\) .*/\1_\2/p")
expected=${#groups[@]}
[ "$expected" -eq 184 ] || { echo "wrestool lists $expected groups, expected 184"; exit 1; }

written=$(find "$work/ours" -name '*.ico' | wc -l)
[ "$written" -eq "$expected" ] || { echo "wrote $written files, expected $expected"; exit 1; }
grep -q "^184 of 184 icon groups of .* written as ICO files into $work/ours\$" "$work/log" ||
  { echo "summary line missing:"; tail -1 "$work/log"; exit 1; }

pairs=()
n=0
for group in "${groups[@]}"; do
  n=$((n + 1))
  pairs+=("$work/ours/$n.ico" "$work/theirs/shell32.dll_14_$group.ico")
done
python3 "$here/ico_images.py" same "${pairs[@]}"
echo "$n groups match wrestool image for image"
