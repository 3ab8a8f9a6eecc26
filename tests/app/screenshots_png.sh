#!/usr/bin/env bash
# Turns the BMP screenshots the window tests wrote into PNG files beside them.
set -eu
folder=$1
shopt -s nullglob
shots=("$folder"/*.bmp)
[ ${#shots[@]} -gt 0 ] || { echo "screenshots_png: no screenshots in $folder"; exit 1; }
for bmp in "${shots[@]}"; do
  convert "$bmp" "${bmp%.bmp}.png"
  echo "wrote ${bmp%.bmp}.png"
done
