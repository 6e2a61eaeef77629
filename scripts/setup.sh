#!/usr/bin/env bash
# Sets up a Debian 12 machine for Tunora and builds it: installs the Debian packages the build
# needs (only those missing), configures with CMake and builds everything.
# Usage: scripts/setup.sh [extra CMake options]   (BUILD_DIR=... picks the build folder)
# This is the developer build: warnings are errors (-DTUNORA_WERROR=OFF after it turns that off),
# and it compiles through ccache.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libgtest-dev libgmock-dev libbenchmark-dev libicu-dev
  # Tags of WMA, ASF, WMV and WAV files (MP3 tags have the program's own reader).
  libtag1-dev
  # The player: GStreamer, its plugins for the nine media types (the libav decoders for WMA,
  # ASF and WMV, the fluidsynth MIDI decoder with a small General MIDI soundfont) and
  # gst-launch-1.0, which the player tests use to make their media files.
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav timgm6mb-soundfont
  # ffmpeg writes the tagged WMA, ASF, WMV and WAV files of the tag tests.
  ffmpeg
  # The window: Qt 6 (Widgets, D-Bus, SVG for the artwork tool), the metric-compatible "Arial"
  # (Liberation Sans), and a virtual X server with its tools for the end-to-end test and the
  # screenshot.
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins fonts-liberation2
  xvfb xauth x11-utils dbus
  # The package tests: the desktop entry's and the metainfo's validators, dpkg-shlibdeps for the
  # Debian package's library dependencies, lintian for the package's checks.
  desktop-file-utils appstream dpkg-dev lintian
  # gdbus drives the program's media controls in their end-to-end test.
  libglib2.0-bin
  # The source's layout is checked against .clang-format.
  clang-format
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DTUNORA_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir"
