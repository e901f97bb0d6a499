#!/usr/bin/env bash
# Makes the PNG icons from the drawing data/icons/io.github.tavlo.Tavlo.svg:
#   data/icons/48x48/io.github.tavlo.Tavlo.png
#   data/icons/128x128/io.github.tavlo.Tavlo.png
# The PNGs are committed, so building and packaging need no SVG converter;
# run this again after changing the drawing. Uses rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh librsvg2-bin
svg=data/icons/io.github.tavlo.Tavlo.svg
for size in 48 128; do
    dir="data/icons/${size}x${size}"
    mkdir -p "$dir"
    rsvg-convert --width "$size" --height "$size" --format png "$svg" \
        --output "$dir/io.github.tavlo.Tavlo.png"
    echo "Wrote $dir/io.github.tavlo.Tavlo.png"
done
