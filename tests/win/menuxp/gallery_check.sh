#!/usr/bin/env bash
# Renders the tray menu's pictures again and compares each with its reviewed reference: every pixel
# may differ by a small tolerance (a few levels per channel), no more, and the set of pictures and
# their sizes must be the same.
#   gallery_check.sh <menuxp_gallery.exe> <reference folder> <work folder>           compare
#   gallery_check.sh <menuxp_gallery.exe> <reference folder> <work folder> --update  replace the references
set -u
exe=$1
references=$2
work=$3
mode=${4:-}
tolerance=2%
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)

rm -rf "$work"
mkdir -p "$work"
"$root/scripts/wine-run" "$exe" "Z:${work//\//\\}" || { echo "gallery: rendering failed"; exit 1; }

to_png() { convert "$1" -strip -define png:exclude-chunks=date,time "$2"; }

if [ "$mode" = --update ]; then
  mkdir -p "$references"
  rm -f "$references"/*.png
  for bmp in "$work"/*.bmp; do
    to_png "$bmp" "$references/$(basename "${bmp%.bmp}").png"
  done
  echo "gallery: $(ls "$references"/*.png | wc -l) references written to $references"
  exit 0
fi

failed=0
checked=0
for bmp in "$work"/*.bmp; do
  name=$(basename "${bmp%.bmp}")
  reference=$references/$name.png
  checked=$((checked + 1))
  if [ ! -f "$reference" ]; then
    echo "gallery: $name has no reference"
    failed=$((failed + 1))
    continue
  fi
  # compare prints the number of pixels that differ by more than the tolerance.
  differing=$(compare -metric AE -fuzz "$tolerance" "$reference" "$bmp" null: 2>&1)
  if [ "$differing" != 0 ]; then
    to_png "$bmp" "$work/$name.png"
    echo "gallery: $name differs from its reference ($differing): see $work/$name.png"
    failed=$((failed + 1))
  fi
done
references_count=$(ls "$references"/*.png 2>/dev/null | wc -l)
if [ "$references_count" != "$checked" ]; then
  echo "gallery: $checked pictures rendered, $references_count references"
  failed=$((failed + 1))
fi
echo "gallery: $checked pictures, $failed differences"
[ "$failed" -eq 0 ]
