#!/usr/bin/env bash
# Renders the program's icon, assets/icons/quillmarsh.svg, into the PNG sizes
# that desktops and Windows ask for (assets/icons/quillmarsh-SIZE.png). The
# PNGs are kept in the repository, so that a build needs no SVG renderer;
# run this after changing the SVG. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../assets/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" quillmarsh.svg --output "quillmarsh-$size.png"
done
