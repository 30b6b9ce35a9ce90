#!/usr/bin/env bash
# Makes the program's .ico files from their SVG sources (librsvg2-bin and ImageMagick, both Debian
# packages). The .ico files are committed, so a build never needs this; run it after editing an SVG.
# Every image is 32-bit colour with alpha, stored PNG-compressed (png-ico.py), as Windows Vista and later
# read them at any size; an image that would be larger as PNG stays BMP.
set -euo pipefail
cd "$(dirname "$0")"
for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "make-icons: needs $tool (apt-get install librsvg2-bin imagemagick)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# icon NAME SOURCE SIZES [SOURCE_FOR_16]: every size from the source, 16 x 16 from its own drawing if given.
icon() {
  local name=$1 source=$2 sizes=$3 small=${4:-$2} images=()
  for size in $sizes; do
    local from=$source
    [ "$size" = 16 ] && from=$small
    rsvg-convert -w "$size" -h "$size" "$from" -o "$work/$name-$size.png"
    images+=("$work/$name-$size.png")
  done
  # BMP images first: png-ico.py takes their pixels exactly as they are and checks its PNGs against them.
  convert "${images[@]}" -define icon:format=bmp "../$name.ico"
  python3 png-ico.py "../$name.ico"
}

# 20 and 24 are the small icon (16) at 125 % and 150 % scale, 40 and 48 the large one (32): a screen at
# those scales gets a drawing of its own size instead of a stretched one.
icon velkaro gauge.svg "64 48 40 32 24 20 16" gauge-16.svg
icon check_red check-red.svg "48 40 32 24 20 16"
icon check_black check-black.svg "48 40 32 24 20 16"
icon question question.svg "48 40 32 24 20 16"
icon cross cross.svg "48 40 32 24 20 16"
echo "make-icons: wrote $(cd .. && ls *.ico | tr '\n' ' ')"
