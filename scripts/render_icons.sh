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
# The Windows icon: the same PNGs in one .ico (each entry a PNG, as Windows Vista and later read them).
python3 - <<'PY'
import struct
sizes = [16, 24, 32, 48, 64, 256]
images = [open(f"zestrel-upgrade-{s}.png", "rb").read() for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for size, data in zip(sizes, images):
    out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open("../windows/zestrel-upgrade.ico", "wb").write(out + b"".join(images))
PY
