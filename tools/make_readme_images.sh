#!/usr/bin/env bash
# Makes the README's pictures from the code as it is, so they stay true:
#   docs/tavlo-window.png  the main window with a few functions (tavlo-screenshot)
#   docs/tavlo-render.png  a plot drawn by tavlo-render, with numbers and a legend
# Needs no display. Usage: tools/make_readme_images.sh [BUILD_DIR]
# (default: the release build in build/, configured here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
build="${1:-build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    if [ "$build" = build ]; then
        cmake --preset release >/dev/null
    else
        cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
fi
cmake --build "$build" --target tavlo-render tavlo-screenshot -j"$(nproc)"

mkdir -p docs
export QT_QPA_PLATFORM=offscreen
"$build/tools/screenshot/tavlo-screenshot" docs/tavlo-window.png
"$build/render/tavlo-render" --size 464x288 \
    --bounds '-2*pi()' '2*pi()' -3 3 --grid 'pi()/2' 1 --step 1 1 \
    --color d00000 --y '2*sin(x)' \
    --color 0000d0 --y 'tan(x/2)' \
    --color 008000 --x 'y^2/2-5' \
    --axes --legend \
    -o docs/tavlo-render.png
echo "Wrote docs/tavlo-window.png and docs/tavlo-render.png"
