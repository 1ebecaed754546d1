#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG. Run after changing the SVG and commit the
# results; the build itself only installs them.
set -euo pipefail
cd "$(dirname "$0")/../resources/desktop/icons"
for size in 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" lyrafold.svg --output "hicolor/${size}x${size}/lyrafold.png"
done
