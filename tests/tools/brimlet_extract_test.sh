#!/usr/bin/env bash
# brimlet-extract from the outside: usage, exit statuses, messages, --list and
# --bmp, on Wine's real modules and on ICO files made here.
#   brimlet_extract_test.sh BRIMLET_EXTRACT TESTDATA_DIR WORK_DIR
set -uo pipefail
tool=$1 data=$2 work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine32=$data/wine-i386
failures=0

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run STATUS ARGS...: runs the tool, keeps stdout and stderr, checks the status.
run() {
  local want=$1
  shift
  "$tool" "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" -eq "$want" ] || { fail "brimlet-extract $* exited $got, expected $want"; sed 's/^/  | /' out.txt err.txt; }
}
said() { grep -qF -- "$2" "$1" || { fail "$1 lacks: $2"; sed 's/^/  | /' "$1"; }; }

# --- usage: status 2, the text on stderr; --help: status 0, the text on stdout
for args in "" "--frobnicate $wine32/user32.dll" "a.dll b c" "--list a.dll b" "--list --bmp a.dll" "-x a.dll"; do
  # shellcheck disable=SC2086
  run 2 $args
  said err.txt "Usage: brimlet-extract"
done
run 2 "" out
said err.txt "SOURCE is empty"
run 0 --help
for text in "Usage: brimlet-extract [--bmp] SOURCE [OUTDIR]" "--list" "--bmp" "Exit status: 0"; do
  said out.txt "$text"
done

# --- status 1: no icon group, or not readable as one; OUTDIR is not created
printf 'not a module\n' >text.exe
printf 'not an icon\n' >text.ico
while IFS='|' read -r source cause; do
  run 1 "$source" none
  said err.txt "$source: $cause"
  [ ! -e none ] || fail "$source: OUTDIR was created"
  run 1 --list "$source"
  said err.txt "$source: $cause"
done <<ROWS
$wine32/kernel32.dll|the module holds no icon group
$work/missing.exe|cannot open it: No such file or directory
$work/missing.ico|cannot open it: No such file or directory
$work/text.exe|cannot be read as an executable module
$work/text.ico|cannot be read as an icon file
$wine32/user32.dll.txt|not an icon file or module: the name must end in ico, exe, dll or icl
$wine32|not an icon file or module: the name must end in ico, exe, dll or icl
ROWS

# --- status 0: every group written, OUTDIR created with its parents
run 0 "$wine32/user32.dll" "$work/new/deeper"
[ "$(grep -c '^wrote ' out.txt)" -eq 7 ] || fail "user32.dll: expected 7 wrote lines"
said out.txt "wrote $work/new/deeper/7.ico"
said out.txt "7 of 7 icon groups of $wine32/user32.dll written as ICO files into $work/new/deeper"
[ "$(ls "$work/new/deeper")" = "$(printf '%s\n' 1.ico 2.ico 3.ico 4.ico 5.ico 6.ico 7.ico)" ] || fail "user32.dll: files"
[ ! -s err.txt ] || fail "user32.dll: stderr not empty"
run 0 "$wine32/user32.dll" "$work/new/deeper/"  # again: files are overwritten
said out.txt "wrote $work/new/deeper/1.ico"
mkdir -p here && (cd here && "$tool" "$wine32/notepad.exe" >../out.txt) || fail "notepad.exe into the current folder"
[ -f here/1.ico ] && [ ! -e here/2.ico ] || fail "notepad.exe: expected only 1.ico in the current folder"
said out.txt "wrote 1.ico"

# --- status 3: some file could not be written
printf 'x' >a-file
run 3 "$wine32/user32.dll" a-file
said err.txt "a-file: cannot write into this folder: it exists and is not a folder"
run 3 "$wine32/user32.dll" a-file/below
said err.txt "a-file is a file, not a folder"
mkdir -p blocked/2.ico blocked/5.ico
run 3 "$wine32/user32.dll" blocked
said err.txt "blocked/2.ico: a folder of that name is in the way"
said err.txt "blocked/5.ico: a folder of that name is in the way"
said out.txt "5 of 7 icon groups"
[ -f blocked/7.ico ] || fail "blocked: the groups after a failed one are written too"
run 3 --bmp "$wine32/user32.dll" bmp-png   # Wine's icons begin with a PNG image
said err.txt "bmp-png/1.bmp: not written: group 1 of $wine32/user32.dll: its first image is stored as PNG"

# --- --list against wrestool's groups and an independent reading of their images
mkdir -p theirs
wrestool -x -t14 -o theirs/ "$wine32/user32.dll"
{
  echo "$wine32/user32.dll: 7 icon groups"
  n=0
  for id in $(wrestool -l -t14 "$wine32/user32.dll" | sed -n 's/^--type=14 --name=\([0-9]*\) .*/\1/p'); do
    n=$((n + 1))
    file=theirs/user32.dll_14_${id}_0.ico
    echo "group $n  #$id  $(python3 "$here/ico_images.py" describe "$file" | wc -l) images"
    python3 "$here/ico_images.py" describe "$file"
  done
} >expected-list.txt
run 0 --list "$wine32/user32.dll"
diff -u expected-list.txt out.txt || fail "--list user32.dll differs from wrestool"
run 0 --list "$wine32/shell32.dll"
said out.txt "shell32.dll: 184 icon groups"
said out.txt "group 1  IDI_SHELL_OPTIONS  10 images"
said out.txt "group 3  #1  "

# --- ICO sources: one group, written again with the same images; listed by file
run 0 "$work/new/deeper/1.ico" again
python3 "$here/ico_images.py" same again/1.ico theirs/user32.dll_14_32512_0.ico || fail "ICO source written again"
run 0 --list "$work/new/deeper/1.ico"
said out.txt "group 1  -  10 images"

# --- --bmp: an ICO made here without the PNG image, so its first image is 48x48 32-bit
python3 - theirs/user32.dll_14_32512_0.ico bitmaps.ico <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<H", data, 4)[0]
entries = [data[6 + 16 * i:22 + 16 * i] for i in range(count)][1:]
images = [data[struct.unpack_from("<I", e, 12)[0]:][:struct.unpack_from("<I", e, 8)[0]] for e in entries]
out = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
for e, image in zip(entries, images):
    out += e[:12] + struct.pack("<I", offset)
    offset += len(image)
open(sys.argv[2], "wb").write(out + b"".join(images))
PY
run 0 --bmp bitmaps.ico bmp
said out.txt "wrote bmp/1.bmp"
said out.txt "1 of 1 icon group of bitmaps.ico written as BMP files into bmp"
python3 - bmp/1.bmp <<'PY' || fail "bmp/1.bmp is not the 48x48 32-bit picture"
import struct, sys
data = open(sys.argv[1], "rb").read()
magic, size, _, offset = struct.unpack_from("<2sIII", data, 0)
width, height, planes, bits = struct.unpack_from("<iiHH", data, 18)
assert magic == b"BM" and size == len(data) == 54 + 48 * 48 * 4, (magic, size, len(data))
assert offset == 54 and (width, height, planes, bits) == (48, 48, 1, 32), (offset, width, height, bits)
PY
if command -v identify >/dev/null; then
  [ "$(identify -format '%w %h' bmp/1.bmp 2>/dev/null)" = "48 48" ] || fail "identify does not read bmp/1.bmp as 48x48"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "brimlet-extract: all checks passed"
