#!/usr/bin/env bash
# Draws the desktop theme icons from the scalable one, as 32-bit PNG files
# (colour and alpha) beside this script, one per size the package installs:
#
#   packaging/icons/make_icons.sh
#
# Needs rsvg-convert (Debian package librsvg2-bin). Run it after changing
# packaging/org.example.Vorpel.svg and commit the pictures it writes; the
# build installs the committed files, so it needs no SVG renderer.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
svg=$here/../org.example.Vorpel.svg

command -v rsvg-convert >/dev/null || {
  echo "make_icons.sh: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
  exit 1
}
for size in 32 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --format png "$svg" \
    --output "$here/org.example.Vorpel-$size.png"
done
