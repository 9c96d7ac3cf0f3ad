#!/bin/sh
# Draws the program icon (resources/quorbel.png): a small sheet with a dark
# header row, grid rows and a tick. Needs ImageMagick.
set -e
out="${1:-$(dirname "$0")/../resources/quorbel.png}"
convert -size 64x64 xc:none \
  -fill '#ffffff' -stroke '#4a4a6e' -strokewidth 2 -draw 'roundrectangle 6,4 58,60 5,5' \
  -fill '#4a4a6e' -stroke none -draw 'rectangle 7,5 57,17' \
  -stroke '#9a9ab8' -strokewidth 1 \
  -draw 'line 10,28 54,28' -draw 'line 10,38 54,38' -draw 'line 10,48 54,48' -draw 'line 22,18 22,58' \
  -stroke '#2e9a4a' -strokewidth 4 -fill none -draw 'polyline 26,40 34,50 52,24' \
  "$out"
