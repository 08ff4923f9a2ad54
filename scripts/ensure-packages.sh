#!/usr/bin/env bash
# Installs the Debian packages that building and testing KWUNINST needs,
# the ones missing only, so a fresh machine and a prepared one both work.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest          # native build: unit tests, the demo's machine and report
  clang libclang-rt-14-dev                  # the fuzz targets (libFuzzer)
  g++-mingw-w64-x86-64 g++-mingw-w64-i686   # the Windows builds
  wine wine64 wine32:i386 xvfb xauth        # running them (32-bit Windows too), with a display
  fonts-wine                                # Wine's own fonts: caption buttons (Marlett), dialogs
  libstb-dev                                # stb_image_write.h: the box answerer's screenshots
  procps                                    # pgrep, to check nothing is left running
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# wine32 is a package of the i386 architecture, which apt must know first.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
