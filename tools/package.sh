#!/usr/bin/env bash
# Builds the Debian package of Tavlo with CPack from the release build in
# build/ and prints its path (only that goes to standard output).
#   tools/package.sh          -> build/tavlo_1.1.0_amd64.deb (or the machine's architecture)
# Install it with: sudo apt install ./build/tavlo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-shlibdeps (dpkg-dev) finds the libraries the programs need; CPack
# picks the programs out with file.
tools/setup.sh dpkg-dev file >&2
# CPack builds everything the build folder holds before it packs, so a new
# build folder leaves the tests out; an existing one keeps its choice.
if [ -f build/CMakeCache.txt ]; then
    cmake --preset release >/dev/null
else
    cmake --preset release -DTAVLO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build build -j"$(nproc)" --target tavlo tavlo-render tavlo_install_data >/dev/null
rm -f build/tavlo_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/tavlo_*.deb
