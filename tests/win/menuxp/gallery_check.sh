#!/usr/bin/env bash
# Renders the tray menu's pictures again and compares each with its reviewed reference: every pixel
# within 2 % (ImageMagick's fuzz distance), and as many pictures as references. --update replaces the
# references instead.
#   gallery_check.sh <menuxp_gallery.exe> <reference folder> <work folder> [--update]
set -u
references=$2 work=$3 update=${4:-} failed=0
rm -rf "$work" && mkdir -p "$work"
"$(dirname "$0")/../../../scripts/wine-run" "$1" "Z:${work//\//\\}" || { echo "gallery: rendering failed"; exit 1; }
[ "$update" = --update ] && rm -f "$references"/*.png
for bmp in "$work"/*.bmp; do
  png=$(basename "${bmp%.bmp}").png
  if [ "$update" = --update ]; then
    convert "$bmp" -strip -define png:exclude-chunks=date,time "$references/$png"
  # The number of pixels further than that, or an error (no reference, another size).
  elif differing=$(compare -metric AE -fuzz 2% "$references/$png" "$bmp" null: 2>&1); [ "$differing" != 0 ]; then
    convert "$bmp" "$work/$png"
    echo "gallery: $png differs from its reference ($differing): see $work/$png"
    failed=$((failed + 1))
  fi
done
if [ "$(ls "$work"/*.bmp | wc -l)" != "$(ls "$references"/*.png | wc -l)" ]; then
  echo "gallery: not as many pictures as references" && failed=$((failed + 1))
fi
echo "gallery: $failed differences"
[ "$failed" -eq 0 ]
