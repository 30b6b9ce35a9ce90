#!/usr/bin/env bash
# Renders the tray menu's pictures again and compares each with its reviewed reference: every pixel
# within a few levels per channel, and the same set of pictures of the same sizes. --update replaces
# the references instead.
#   gallery_check.sh <menuxp_gallery.exe> <reference folder> <work folder> [--update]
set -u
references=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
"$(dirname "$0")/../../../scripts/wine-run" "$1" "Z:${work//\//\\}" || { echo "gallery: rendering failed"; exit 1; }
to_png() { convert "$1" -strip -define png:exclude-chunks=date,time "$2"; }
if [ "${4:-}" = --update ]; then
  rm -f "$references"/*.png
  for bmp in "$work"/*.bmp; do to_png "$bmp" "$references/$(basename "${bmp%.bmp}").png"; done
  exit 0
fi
failed=0
for bmp in "$work"/*.bmp; do
  name=$(basename "${bmp%.bmp}")
  # The number of pixels that differ by more than the tolerance, or an error (no reference, other size).
  differing=$(compare -metric AE -fuzz 2% "$references/$name.png" "$bmp" null: 2>&1)
  if [ "$differing" != 0 ]; then
    to_png "$bmp" "$work/$name.png"
    echo "gallery: $name differs from its reference ($differing): see $work/$name.png"
    failed=$((failed + 1))
  fi
done
if [ "$(ls "$work"/*.bmp | wc -l)" != "$(ls "$references"/*.png | wc -l)" ]; then
  echo "gallery: not as many pictures as references" && failed=$((failed + 1))
fi
echo "gallery: $failed differences"
[ "$failed" -eq 0 ]
