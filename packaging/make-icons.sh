#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Writes the hicolor theme's PNG sizes of the program icon from its .ico:
# a size the .ico holds is taken as drawn, any other is scaled from the
# largest picture in it.
# Usage: packaging/make-icons.sh ICON.ico OUT_FOLDER SIZE...
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 ICON.ico OUT_FOLDER SIZE..." >&2
  exit 2
fi
ico="$1"
out="$2"
shift 2
command -v convert >/dev/null || { echo "make-icons.sh: ImageMagick 'convert' is missing" >&2; exit 1; }

# "index width" for every picture in the .ico.
frames="$(identify -format '%p %w\n' "$ico")"
[ -n "$frames" ] || { echo "make-icons.sh: no pictures in $ico" >&2; exit 1; }
largest="$(sort -k2,2n <<<"$frames" | tail -n 1 | cut -d' ' -f1)"

mkdir -p "$out"
for size in "$@"; do
  exact="$(awk -v s="$size" '$2 == s { print $1; exit }' <<<"$frames")"
  target="$out/rowsifter-$size.png"
  if [ -n "$exact" ]; then
    convert "$ico[$exact]" -strip "png32:$target"
  else
    convert "$ico[$largest]" -resize "${size}x${size}" -strip "png32:$target"
  fi
  got="$(identify -format '%wx%h' "$target")"
  [ "$got" = "${size}x${size}" ] || { echo "make-icons.sh: $target is $got, not ${size}x${size}" >&2; exit 1; }
done
