#!/usr/bin/env bash
# Installs the Debian 12 packages Lyrafold needs to build, test and run. Safe to run again: when
# everything is present it only checks and returns.
set -euo pipefail

# Every package the project uses, in one place.
packages=(
    # toolchain
    build-essential cmake ninja-build ccache pkg-config
    # the formatting check of CI (scripts/check-format.sh)
    clang-format
    # fuzzing (make fuzz): clang with libFuzzer and the sanitizer runtimes
    clang libclang-rt-dev
    # Qt 6 (Multimedia: the microphones of song recognition)
    qt6-base-dev qt6-qpa-plugins qt6-multimedia-dev
    # Qt's own texts (file dialogs, standard buttons) in Turkish and Spanish
    qt6-translations-l10n
    # tests: a private session bus for the D-Bus stand-ins
    dbus-daemon
    # JSON parsing
    libsimdjson-dev
    # PDF reading (poppler's Qt interface), rendering (poppler's Splash renderer, private headers),
    # raw page boxes (qpdf)
    libpoppler-qt6-dev libpoppler-private-dev libqpdf-dev
    # drawing PDFs (the demo songbooks, the test fixtures with outlines, the exports' link headers and
    # annotations, imported pictures), text laid out by pango, with the fonts they name
    libcairo2-dev libpango1.0-dev fonts-dejavu-core
    # JPEG page images and imported pictures: libjpeg-turbo, libheif for HEIC/HEIF, Qt's TIFF and WebP
    # readers
    libturbojpeg0-dev libheif-dev qt6-image-formats-plugins
    # the viewer's toolbar glyphs (first and last page) that DejaVu lacks
    fonts-symbola
    # desktop integration: checks of the launcher entry and the playlist file type, icon rendering
    desktop-file-utils shared-mime-info librsvg2-bin
    # benchmarks only (lyrafold-bench compares against python3's json module, poppler-utils' pdftoppm,
    # the qpdf command and QtPdf)
    libbenchmark-dev python3 poppler-utils qpdf qt6-pdf-dev
    # scripts/screenshot.sh: a virtual display, a grab of it, and pointer and keys for its scenes; a
    # private sound server with a virtual microphone for its listening scene
    xvfb imagemagick xdotool pulseaudio
    # scripts/viewer-screenshots.sh: a window manager, for the windows' frames and title bars
    openbox
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
