#!/usr/bin/env bash
# Renders the program icon's PNG sizes from its SVG drawing. The PNGs are committed, so that the
# build needs no converter; run this after changing
# resources/icons/hicolor/scalable/apps/kelvora.svg.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh librsvg2-bin
icons=resources/icons/hicolor
for size in 16 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$icons/scalable/apps/kelvora.svg" \
    -o "$icons/${size}x${size}/apps/kelvora.png"
done
