#!/usr/bin/env bash
# Builds the Debian package of Tavlo with CPack from the release build in
# build/ (configured here when missing) and prints its path.
#   tools/package.sh          -> build/tavlo_1.1.0_amd64.deb (or the machine's architecture)
# Install it with: sudo apt install ./build/tavlo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-shlibdeps (dpkg-dev) finds the libraries the programs need; CPack
# picks the programs out with file.
tools/setup.sh dpkg-dev file
cmake --preset release >/dev/null
cmake --build build -j"$(nproc)" --target tavlo tavlo-render tavlo_install_data >/dev/null
rm -f build/tavlo_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/tavlo_*.deb
