#!/usr/bin/env bash
# Renders the program's icon, data/icons/zestrel-upgrade.svg, to the PNG sizes
# that are installed into the hicolor theme and built into the window. Run it
# after changing the drawing and commit the PNGs with it (needs rsvg-convert,
# Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" zestrel-upgrade.svg -o "zestrel-upgrade-$size.png"
done
