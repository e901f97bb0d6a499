#!/usr/bin/env bash
# Builds the Debian package (tools/package.sh) and checks it as a user would
# meet it:
#   - the menu entry passes desktop-file-validate and the AppStream metadata
#     passes appstreamcli validate --no-net (alone and with the tree it is
#     installed in);
#   - lintian finds no errors (its other remarks are printed);
#   - cmake --install with DESTDIR and another prefix puts the same files there;
#   - with the package's file type and menu entry in the caches, xdg-mime knows
#     a saved set, by its name and by its first bytes, and names Tavlo to open it;
#   - unpacked into a temporary folder, its tavlo-render writes a PNG and its
#     tavlo starts and paints its window on the offscreen platform.
# tools/test.sh runs it after the unit tests. Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh lintian desktop-file-utils appstream xdg-utils libfile-mimeinfo-perl
deb=$(tools/package.sh)
id=io.github.tavlo.Tavlo

tmp=$(mktemp -d)
tavlo_pid=""
cleanup() {
    if [ -n "$tavlo_pid" ]; then
        kill "$tavlo_pid" 2>/dev/null || true
        wait "$tavlo_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "check_package: $*" >&2
    exit 1
}

root="$tmp/root"
dpkg -x "$deb" "$root"

desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
# The metadata, the menu entry and the icons also have to name each other.
appstreamcli validate-tree --no-net "$root" >"$tmp/tree.log" ||
    { cat "$tmp/tree.log"; fail "appstreamcli validate-tree failed"; }

# Errors fail the check; warnings and notes are shown for whoever reads the log.
status=0
lintian --fail-on error --display-info "$deb" >"$tmp/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$tmp/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian found errors in $deb"

# The package holds exactly what cmake --install installs.
DESTDIR="$tmp/stage" cmake --install build --prefix /opt/tavlo >/dev/null
diff <(cd "$root/usr" && find . -type f | sort) <(cd "$tmp/stage/opt/tavlo" && find . -type f | sort) ||
    fail "cmake --install and the package install different files"

# A set is known as such whatever its name, the launcher opens it, and other
# files are not taken for sets. xdg-mime looks at the unpacked tree first.
XDG_DATA_DIRS="$root/usr/share" update-mime-database "$root/usr/share/mime"
update-desktop-database "$root/usr/share/applications"
xdg() {
    env -u XDG_DATA_HOME XDG_CURRENT_DESKTOP=X-Generic HOME="$tmp/home" \
        XDG_DATA_DIRS="$root/usr/share:/usr/share" XDG_CONFIG_DIRS="$tmp/home" xdg-mime query "$@"
}
printf '\0\0\024\005\0\0\0\001\377\377\377\377' >"$tmp/set" # an empty set
head -c 4 "$tmp/set" >"$tmp/cut.tavlo"                          # known by its name only
for file in "$tmp/set" "$tmp/cut.tavlo"; do
    [ "$(xdg filetype "$file")" = application/x-tavlo-set ] || fail "$file is not known as a set"
done
cp "$root/usr/share/icons/hicolor/48x48/apps/$id.png" "$tmp/picture"
[ "$(xdg filetype "$tmp/picture")" = image/png ] || fail "a picture is taken for a set"
[ "$(xdg default application/x-tavlo-set)" = "$id.desktop" ] || fail "sets do not open with Tavlo"

# The unpacked programs run against the system's libraries.
"$root/usr/bin/tavlo-render" --y 'sin(x)' -o "$tmp/sine.png"
[ "$(head -c 8 "$tmp/sine.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "tavlo-render did not write a PNG"

# The window counts as shown once the toolkit has painted its 240 x 300
# pixels; the paint log says so. timeout ends it should this check stop early.
log="$tmp/tavlo.log"
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.widgets.painting=true' \
    timeout 60 "$root/usr/bin/tavlo" >"$log" 2>&1 &
tavlo_pid=$!
shown=0
for _ in $(seq 100); do
    if grep -qs 'Drawing QRegion(0,0 240x300) of Tavlo' "$log"; then
        shown=1
        break
    fi
    kill -0 "$tavlo_pid" 2>/dev/null || break
    sleep 0.1
done
if [ "$shown" -eq 0 ]; then
    tail -n 20 "$log" >&2
    fail "tavlo did not show its window"
fi
# Still running after painting: it waits for the user rather than falling over.
sleep 0.5
kill -0 "$tavlo_pid" 2>/dev/null || fail "tavlo stopped after showing its window"
kill "$tavlo_pid"
wait "$tavlo_pid" 2>/dev/null || true
tavlo_pid=""

echo "Package checks passed: $deb ($(dpkg-deb -f "$deb" Installed-Size) KiB installed)"
