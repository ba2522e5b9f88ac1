#!/usr/bin/env bash
# Renders kirvane.svg to the PNG sizes committed beside it (needs rsvg-convert, librsvg2-bin).
# The PNGs are committed so that building needs no SVG renderer; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" kirvane.svg -o "kirvane-$size.png"
done
