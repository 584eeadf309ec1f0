#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Draws the program icon (a sieve over table rows, one row caught) with
# ImageMagick and packs it as a multi-size .ico: 16, 32, 48 and 256 px.
# Usage: scripts/make-icon.sh [OUT.ico]   (default resources/images/rsf.ico)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/resources/images/rsf.ico}"
command -v convert >/dev/null || { echo "make-icon.sh: ImageMagick 'convert' is missing" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Master drawing at 256 px; the small sizes are scaled from it.
convert -size 256x256 xc:none \
  -fill '#1f7a5a' -draw 'roundrectangle 8,8 247,247 36,36' \
  -fill '#ffffff' \
  -draw 'rectangle 44,40 212,62' \
  -draw 'rectangle 44,76 212,98' \
  -fill '#ffb000' -draw 'rectangle 44,112 212,134' \
  -fill '#d8f0e6' -draw 'polygon 36,150 220,150 150,206 106,206' \
  -stroke '#1f7a5a' -strokewidth 6 \
  -draw 'line 84,150 118,206' -draw 'line 128,150 128,206' -draw 'line 172,150 138,206' \
  -stroke none -fill '#ffb000' -draw 'rectangle 112,212 144,236' \
  "$work/rsf-256.png"

for size in 16 32 48; do
  convert "$work/rsf-256.png" -resize "${size}x${size}" "$work/rsf-$size.png"
done

mkdir -p "$(dirname "$out")"
convert "$work/rsf-16.png" "$work/rsf-32.png" "$work/rsf-48.png" "$work/rsf-256.png" -depth 8 "$out"
echo "$out"
