#!/bin/sh
# Draws the program icon: a small sheet with a dark header row, grid rows and
# a tick, designed on a 64-pixel grid and drawn natively at each size of the
# hicolor theme (resources/icons/hicolor/<n>x<n>/apps/quorbel.png); the
# 64-pixel one is also the window icon (resources/quorbel.png). Needs
# ImageMagick.
set -e
top="$(cd "$(dirname "$0")/.." && pwd)"
for n in 48 64 128 256; do
  dir="$top/resources/icons/hicolor/${n}x${n}/apps"
  mkdir -p "$dir"
  s="$(echo "scale=4; $n / 64" | bc)"
  convert -size "${n}x${n}" xc:none -define png:exclude-chunks=date,time \
    -fill '#ffffff' -stroke '#4a4a6e' -strokewidth 2 -draw "scale $s,$s roundrectangle 6,4 58,60 5,5" \
    -fill '#4a4a6e' -stroke none -draw "scale $s,$s rectangle 7,5 57,17" \
    -stroke '#9a9ab8' -strokewidth 1 \
    -draw "scale $s,$s line 10,28 54,28" -draw "scale $s,$s line 10,38 54,38" \
    -draw "scale $s,$s line 10,48 54,48" -draw "scale $s,$s line 22,18 22,58" \
    -stroke '#2e9a4a' -strokewidth 4 -fill none -draw "stroke-linejoin round stroke-linecap round scale $s,$s polyline 26,40 34,50 52,24" \
    +set date:create +set date:modify -strip "$dir/quorbel.png"
done
cp "$top/resources/icons/hicolor/64x64/apps/quorbel.png" "$top/resources/quorbel.png"
