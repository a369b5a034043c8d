#!/bin/sh
# Regenerates the icons in this folder from the SVG drawings in src/ with ImageMagick.
#
#   sh resources/icons/render.sh            writes Quorvel_1.ico ... Quorvel_6.ico and zt.ico
#   sh resources/icons/render.sh --png DIR  also leaves the 16, 32 and 48 px PNGs in DIR for a look
#
# Every icon has two drawings: NAME.svg (48 px design, used for 48 and 32 px) and NAME-16.svg
# (a simplified 16 px design with thicker shapes, so that it stays legible in the tray).
# The drawings use only what ImageMagick's own SVG renderer draws reliably: filled rectangles,
# circles, polygons and arc paths with explicit fill and stroke (no gradients, no transforms,
# no fill="none" paths). Each size is drawn eight times larger and box-filtered down, which gives
# clean anti-aliased edges. Needs: ImageMagick 6 or 7 (`convert` or `magick`).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
src="$here/src"
pngdir=""
if [ "${1:-}" = "--png" ]; then
    pngdir=${2:?"--png needs a folder"}
    mkdir -p "$pngdir"
fi

if command -v magick >/dev/null 2>&1; then
    im="magick"
elif command -v convert >/dev/null 2>&1; then
    im="convert"
else
    echo "render.sh: ImageMagick (convert or magick) is not installed" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# draw SVG SIZE OUT: renders the drawing at eight times its own size and reduces it to SIZE px.
# (ImageMagick's SVG renderer draws one pixel per SVG unit at 96 dpi.)
draw() {
    "$im" -background none -density $((96 * 8)) "$1" \
        -filter box -resize "$2x$2!" -depth 8 "PNG32:$3"
}

for name in Quorvel_1 Quorvel_2 Quorvel_3 Quorvel_4 Quorvel_5 Quorvel_6 zt; do
    draw "$src/$name-16.svg" 16 "$work/$name-16.png"
    draw "$src/$name.svg" 32 "$work/$name-32.png"
    draw "$src/$name.svg" 48 "$work/$name-48.png"
    "$im" "$work/$name-16.png" "$work/$name-32.png" "$work/$name-48.png" "$here/$name.ico"
    if [ -n "$pngdir" ]; then
        cp "$work/$name-16.png" "$work/$name-32.png" "$work/$name-48.png" "$pngdir/"
    fi
    echo "wrote $here/$name.ico"
done
