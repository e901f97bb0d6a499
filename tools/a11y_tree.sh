#!/usr/bin/env bash
# Shows Tavlo as a screen reader sees it: starts build/app/tavlo under Xvfb with
# its own D-Bus session and AT-SPI bus, and lists the accessible tree from outside
# (tools/a11y_tree.py). Each argument names a button to press before listing the
# tree again, e.g. tools/a11y_tree.sh Options "New Func." shows those dialogs.
# Needs: xvfb, at-spi2-core, python3-pyatspi (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${A11Y_TREE_SESSION:-}" ]; then
    export A11Y_TREE_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi

app="${TAVLO:-build/app/tavlo}"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT

exec 3< <(Xvfb -displayfd 1 -screen 0 640x480x24 2>/dev/null)
pids+=($!)
read -r display <&3
export DISPLAY=":$display"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
sleep 1
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$app" >/dev/null 2>&1 &
pids+=($!)
sleep 3
/usr/bin/python3 tools/a11y_tree.py tavlo "$@"
