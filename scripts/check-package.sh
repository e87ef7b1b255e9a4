#!/usr/bin/env bash
# Makes the Debian package from a finished build and checks it the way a player meets it:
# the icon still drawn from the game's outline, the package's files and metadata valid
# and under one application id, lintian without errors, and the game unpacked from the
# package starting from its desktop entry's Exec line under Xvfb and ending on Esc.
# Usage: scripts/check-package.sh BUILD_DIR   (leaves BUILD_DIR/quillfane_VERSION_ARCH.deb)
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
# shellcheck source=scripts/ensure-packages.sh
. "$repo/scripts/ensure-packages.sh"
ensure_packages cmake dpkg-dev file binutils python3 librsvg2-bin lintian desktop-file-utils appstream \
  xvfb openbox xdotool python3-xlib x11-utils

[ -f "$build/CPackConfig.cmake" ] ||
  { echo "check-package: $build makes no Debian package (QUILLFANE_DEB is off there)" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "check-package: $*" >&2
  exit 1
}

echo "== the icon is what scripts/make_icon.py draws from the ship's outline"
/usr/bin/python3 "$repo/scripts/make_icon.py" "$scratch/icon.svg"
cmp -s "$scratch/icon.svg" "$repo/packaging/quillfane.svg" ||
  fail "packaging/quillfane.svg is stale: run scripts/make_icon.py packaging/quillfane.svg"

echo "== cpack -G DEB"
(cd "$build" && cpack -G DEB) | tee "$scratch/cpack.log"
deb=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$scratch/cpack.log")
[ -f "$deb" ] || fail "cpack named no .deb"
root="$scratch/root"
dpkg-deb -x "$deb" "$root"

echo "== dpkg-deb -c lists every installed file, under one application id"
desktops=("$root"/usr/share/applications/*.desktop)
if [ ${#desktops[@]} -ne 1 ] || [ ! -f "${desktops[0]}" ]; then fail "not exactly one desktop entry"; fi
desktop=${desktops[0]}
id=$(basename "$desktop" .desktop)
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
{
  echo usr/games/quillfane
  echo "usr/share/applications/$id.desktop"
  echo "usr/share/metainfo/$id.metainfo.xml"
  echo "usr/share/icons/hicolor/scalable/apps/$id.svg"
  for size in 16 24 32 48 64 128 256; do
    echo "usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
  done
  echo usr/share/man/man6/quillfane.6.gz
  echo usr/share/doc/quillfane/copyright
  echo usr/share/doc/quillfane/changelog.gz
} | sort >"$scratch/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$scratch/listed"
diff -u "$scratch/expected" "$scratch/listed" || fail "the package's files differ from the list above"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry's icon is not $id"
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $id.desktop"
version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
zgrep -q "^\.TH QUILLFANE 6 .* \"Quillfane $version\"" "$root/usr/share/man/man6/quillfane.6.gz" ||
  fail "the man page is not for Quillfane $version"

echo "== desktop-file-validate and appstreamcli validate --no-net"
if ! notes=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$notes" ]; then fail "desktop-file-validate: $notes"; fi
appstreamcli validate --no-net --explain "$metainfo"

echo "== lintian (fails on errors; warnings and notes shown)"
lintian --fail-on error --display-info "$deb"

echo "== the unpacked game, started by the desktop entry's Exec line, under Xvfb"
command=$(sed -n 's/^Exec=//p' "$desktop")
game="$root/usr/games/$command"  # found there through a desktop user's PATH
[ -x "$game" ] || fail "the desktop entry's Exec line ($command) names no program in the package's games folder"
# The real-window test "window": the start picture centred, resizes, minimise and restore;
# the close button and SIGTERM each end the game with status 0.
/usr/bin/python3 "$repo/e2e/run.py" window "$game"

echo "check-package: $(basename "$deb") passed"
