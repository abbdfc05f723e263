#!/usr/bin/env bash
# Installs everything the builds and tests need on a fresh Debian 12 machine (run as root).
set -euo pipefail
packages=(
  cmake ninja-build g++ make python3
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine wine64 xvfb xauth
  googletest libgtest-dev
  zlib1g-dev libz-mingw-w64-dev  # zlib, natively and for the Windows builds
  clang libclang-rt-14-dev       # fuzzing
  gcovr                          # coverage reports
  plocate                        # the search benchmark's baseline
  imagemagick                    # screenshots
  fp-utils                       # chmcmd, the help file compiler
  nsis                           # the installer
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
