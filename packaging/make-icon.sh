#!/usr/bin/env bash
# Draws the program's icon (128 x 128 PNG): the pacer disc with its ring and a pulse trace on
# the soft background of the training screen. Needs ImageMagick; the PNG is committed.
# Usage: packaging/make-icon.sh [output.png]
set -euo pipefail
out="${1:-$(dirname "$0")/halvent.png}"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

petals=()
for angle in 0 30 60 90 120 150 180 210 240 270 300 330; do
    petals+=(-draw "translate 64,58 rotate $angle ellipse 0,-19 5,10 0,360")
done

"$convert" -size 128x128 gradient:'#d4e6f7-#dccbee' \
    \( -size 128x128 xc:black -fill white -draw 'roundrectangle 3,3 124,124 24,24' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill none -stroke '#7fb78a' -strokewidth 2 -draw 'roundrectangle 4,4 123,123 23,23' \
    -stroke '#3e9a52' -strokewidth 6 -draw 'circle 64,58 64,16' \
    -stroke none -fill '#62cf6d' -draw 'circle 64,58 64,24' \
    -fill '#9fe3a7' "${petals[@]}" \
    -fill '#ffffff' -draw 'circle 64,58 64,53' \
    -fill none -stroke '#2455c8' -strokewidth 4 \
    -draw 'stroke-linejoin round polyline 12,108 42,108 50,94 58,120 66,102 72,108 116,108' \
    -strip PNG32:"$out"
echo "$out"
