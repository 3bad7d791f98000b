#!/bin/sh
# Draws the program icon (the bank's wave mark of the page's title) as the window's big (32 x 32)
# and small (16 x 16) icon into res/icon/ (or the folder given as $1). The outputs are checked
# in, so the build does not need ImageMagick; run this again after changing the artwork.
set -eu

OUT=${1:-$(dirname "$0")}
IM=convert
[ -x /usr/bin/convert ] && IM=/usr/bin/convert

# Drawn at 128 x 128 and scaled down, so both sizes share one artwork.
"$IM" -size 128x128 xc:none \
  -fill '#0d4f86' -draw 'roundrectangle 4,4 123,123 26,26' \
  -fill white -draw 'circle 64,64 64,18' \
  -fill '#1c91dc' -draw 'circle 64,64 64,26' \
  -stroke white -strokewidth 9 -fill none \
  -draw 'path "M 34,56 Q 49,40 64,56 T 94,56"' -draw 'path "M 34,78 Q 49,62 64,78 T 94,78"' \
  -define png:exclude-chunks=date,time "$OUT/program-128.png.tmp.png"
for size in 32 16; do
  "$IM" "$OUT/program-128.png.tmp.png" -resize "${size}x${size}" -strip \
    -define png:exclude-chunks=date,time "PNG32:$OUT/program-$size.png"
done
rm -f "$OUT/program-128.png.tmp.png"
