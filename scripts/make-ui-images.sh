#!/usr/bin/env bash
# Renders the interface images from their SVG sources in resources/UI/src into the PNG files that the
# build compiles in. The PNGs are committed, so only a change to a source needs this script; it needs
# rsvg-convert (Debian package librsvg2-bin).
#   resources/UI/src/<name>.svg          -> resources/UI/<name>.png           (128 px, the logo 120x154)
#   resources/UI/src/symbols/<name>.svg  -> resources/UI/Symbols/<name>.png   (96 px)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
src="$root/resources/UI/src"
out="$root/resources/UI"

if ! command -v rsvg-convert >/dev/null; then
    echo "rsvg-convert not found: apt-get install librsvg2-bin" >&2
    exit 1
fi

render() { # <svg> <png> <width> <height>
    rsvg-convert --width "$3" --height "$4" --keep-aspect-ratio --format png --output "$2" "$1"
}

for svg in "$src"/*.svg; do
    name="$(basename "$svg" .svg)"
    if [ "$name" = header_logo ]; then
        render "$svg" "$out/$name.png" 120 154
    else
        render "$svg" "$out/$name.png" 128 128
    fi
done

mkdir -p "$out/Symbols"
for svg in "$src"/symbols/*.svg; do
    render "$svg" "$out/Symbols/$(basename "$svg" .svg).png" 96 96
done
