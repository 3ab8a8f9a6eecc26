#!/usr/bin/env bash
# Draws the program's icon (brimlet.ico: one 48 x 48 image, 256 colours) and
# the picture of the main window (brimlet.jpg: baseline JPEG, 253 x 190) with
# ImageMagick. The outputs are committed; run again only to redraw them.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf

# The picture: a caped cartoon hero on white, with a line of lettering below.
convert -size 253x190 xc:white \
  -stroke black -strokewidth 2 \
  -fill '#d8262b' -draw "polygon 104,58 150,58 182,150 72,150" \
  -fill '#2a5db0' -draw "roundrectangle 108,60 146,118 10,10" \
  -fill '#f4c542' -draw "polygon 118,74 136,74 127,92" \
  -fill '#2a5db0' -draw "polygon 110,66 86,40 94,34 116,62" \
  -fill '#2a5db0' -draw "polygon 144,66 168,92 162,98 140,72" \
  -fill '#f6d2b0' -draw "circle 90,36 90,44" -draw "circle 166,96 166,104" \
  -fill '#2a5db0' -draw "rectangle 112,116 124,146" -draw "rectangle 130,116 142,146" \
  -fill '#d8262b' -draw "roundrectangle 106,142 126,152 4,4" -draw "roundrectangle 128,142 148,152 4,4" \
  -fill '#f6d2b0' -draw "circle 127,40 127,60" \
  -fill '#202020' -draw "roundrectangle 112,32 142,42 5,5" \
  -fill white -stroke none -draw "circle 120,37 120,39" -draw "circle 134,37 134,39" \
  -stroke black -strokewidth 2 -fill none -draw "arc 118,44 136,54 20,160" \
  -stroke '#f4c542' -strokewidth 3 -fill none \
  -draw "line 30,40 52,40" -draw "line 24,56 50,56" -draw "line 200,50 226,50" -draw "line 206,66 230,66" \
  -stroke '#1b3f7a' -strokewidth 1 -fill '#1b3f7a' -font "$font" -pointsize 24 \
  -annotate +42+182 'BRIMLET!' \
  -strip -interlace none -sampling-factor 2x2 -quality 78 brimlet.jpg

# The icon: a blue brim hat over a red cape fold, on a transparent ground,
# reduced to one 8-bit palette image.
convert -size 48x48 xc:none \
  -stroke '#10203a' -strokewidth 2 \
  -fill '#d8262b' -draw "polygon 12,22 36,22 44,46 4,46" \
  -fill '#2a5db0' -draw "roundrectangle 14,8 34,24 5,5" \
  -fill '#2a5db0' -draw "ellipse 24,24 22,6 0,360" \
  -fill '#f4c542' -stroke none -draw "rectangle 14,19 34,22" \
  -channel A -threshold 50% +channel -colors 255 PNG32:icon-48.png
icotool -c --bit-depth=8 -o brimlet.ico icon-48.png
rm -f icon-48.png
