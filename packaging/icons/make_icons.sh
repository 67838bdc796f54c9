#!/usr/bin/env bash
# Draws the two programs' icons (tarvisk.svg in red, tarvix.svg in blue, the same picture) and renders the hicolor
# PNG sizes from them with rsvg-convert (librsvg2-bin). Run it after changing the picture; the files are committed.
set -euo pipefail
cd "$(dirname "$0")"

# draw NAME DARK LIGHT: a rounded square in two shades, a shop bag with a check mark.
draw() {
    cat >"$1.svg" <<SVG
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="$3"/>
      <stop offset="1" stop-color="$2"/>
    </linearGradient>
  </defs>
  <rect x="12" y="12" width="232" height="232" rx="48" fill="url(#tile)"/>
  <path d="M96 92 V78 a32 32 0 0 1 64 0 V92" fill="none" stroke="#ffffff" stroke-width="14" stroke-linecap="round"/>
  <path d="M64 92 H192 L182 204 H74 Z" fill="#ffffff" stroke="#ffffff" stroke-width="8" stroke-linejoin="round"/>
  <path d="M96 148 L120 172 L164 124" fill="none" stroke="$2" stroke-width="16" stroke-linecap="round"
        stroke-linejoin="round"/>
</svg>
SVG
}
draw tarvisk "#c62828" "#ef5350"
draw tarvix "#1565c0" "#42a5f5"

for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}/apps"
    for name in tarvisk tarvix; do
        rsvg-convert -w "$size" -h "$size" "$name.svg" -o "hicolor/${size}x${size}/apps/$name.png"
    done
done
