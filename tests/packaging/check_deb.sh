#!/bin/bash
# check_deb.sh BUILD_DIR VERSION
# Builds the Debian package from BUILD_DIR into a scratch directory, checks its control fields
# and contents, unpacks it into a scratch root (nothing is installed on this machine) and
# starts the unpacked vardo on a virtual X display until its window shows.
set -euo pipefail

build=$1
version=$2
arch=$(dpkg --print-architecture)
app_id=org.example.Vardo

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps xvfb-run xdotool compare readelf; do
    command -v "$tool" >/dev/null || fail "$tool is missing (make deps installs it)"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# -- build ----------------------------------------------------------------------------------
if ! (cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1); then
    cat "$scratch/cpack.log" >&2
    fail "cpack could not build the package"
fi
deb=$scratch/out/vardo_${version}_${arch}.deb
[ -f "$deb" ] || fail "expected $(basename "$deb"), cpack wrote: $(ls "$scratch/out")"

# -- control fields -------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
    local got
    got=$(field "$1")
    [ "$got" = "$2" ] || fail "$1 is '$got', expected '$2'"
}
expect_field Package vardo
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Section games
expect_field Maintainer "Quennick <vardo@example.org>"
expect_field Homepage "https://www.example.org/vardo/"
[ -n "$(field Description)" ] || fail "Description is empty"

# Depends comes from dpkg-shlibdeps: every library the binary links must be named.
depends=$(field Depends)
depends_names=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ *([^ (]+).*/\1/; s/t64$//')
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libxcb1; do
    grep -qxF "$lib" <<<"$depends_names" || fail "Depends lacks $lib: $depends"
done

# -- contents -------------------------------------------------------------------------------
expected_files="./usr/bin/vardo
./usr/share/applications/$app_id.desktop
./usr/share/doc/vardo/copyright
./usr/share/gnome-shell/extensions/vardo@example.org/extension.js
./usr/share/gnome-shell/extensions/vardo@example.org/metadata.json
./usr/share/icons/hicolor/32x32/apps/$app_id.png
./usr/share/metainfo/$app_id.metainfo.xml"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
[ "$files" = "$expected_files" ] || fail "package files differ:
$(diff <(echo "$expected_files") <(echo "$files") || true)"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
[ -x "$root/usr/bin/vardo" ] || fail "usr/bin/vardo is not executable"
if readelf -d "$root/usr/bin/vardo" | grep -Eq 'R(UN)?PATH'; then
    fail "the packaged vardo still carries a library search path into the build tree"
fi

# The desktop entry, the metainfo and the icon refer to each other by name.
desktop=$root/usr/share/applications/$app_id.desktop
grep -qx 'Exec=vardo' "$desktop" || fail "desktop entry does not start vardo"
grep -qx "Icon=$app_id" "$desktop" || fail "desktop entry names another icon"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
    "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "metainfo launches another entry"

# The theme icon is the window icon, pixel for pixel and with the same transparency.
icon=$root/usr/share/icons/hicolor/32x32/apps/$app_id.png
[ "$(identify -format '%wx%h' "$icon")" = 32x32 ] || fail "icon is not 32 x 32"
ico=$(dirname "$0")/../../resources/vardo.ico
# ImageMagick 6 prints the count alone, 7 adds the normalised figure in brackets: "0 (0)".
differing=$(compare -metric AE "$ico" "$icon" null: 2>&1 || true)
[ "${differing%% (*}" = 0 ] || fail "icon PNG differs from vardo.ico in $differing pixels"

# -- start the unpacked program ------------------------------------------------------------
# The first start on a fresh machine also fills the font cache, so allow it some time.
mkdir -m 700 "$scratch/run"
# shellcheck disable=SC2016
if ! XDG_RUNTIME_DIR=$scratch/run timeout 80 xvfb-run -a -s '-screen 0 800x600x24' bash -c '
    env -u LD_LIBRARY_PATH "$1" 2>"$2" &
    pid=$!
    shown=0
    timeout 45 xdotool search --sync --onlyvisible --name "^Vardo$" >/dev/null && shown=1
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    [ "$shown" = 1 ]
' _ "$root/usr/bin/vardo" "$scratch/vardo.err"; then
    cat "$scratch/vardo.err" >&2
    fail "the unpacked vardo showed no window titled Vardo within 45 s"
fi

echo "deb_package: $(basename "$deb") checked"
