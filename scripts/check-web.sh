#!/usr/bin/env bash
# Builds the web page with Debian's emscripten, checks what build-web/ holds for a game host,
# runs the unit tests under node and plays the page in Chromium, Firefox and WebKit, and on a phone.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_packages cmake make emscripten nodejs googletest chromium chromium-driver firefox-esr webkit2gtk-driver \
  xvfb python3 python3-websocket python3-selenium python3-xlib python3-pil librsvg2-bin
began=$SECONDS

echo "== web: build"
cmake --preset web -DQUILLFANE_WERROR=ON >/dev/null
cmake --build --preset web

echo "== web: the files a game host takes"
want="icon-192.png icon-512.png index.html quillfane.js quillfane.wasm quillfane.webmanifest sw.js"
packed=$(/usr/bin/python3 -c 'import sys, zipfile; print(*sorted(zipfile.ZipFile(sys.argv[1]).namelist()))' \
  build-web/Quillfane-1.00-web.zip)
echo "  Quillfane-1.00-web.zip: $packed"
[ "$packed" = "$want" ] || { echo "the zip should hold exactly: $want" >&2; exit 1; }
# The page asks nothing of any other host.
if grep -Eo '(src|href)="[a-z]+://[^"]*"' build-web/index.html; then
  echo "index.html loads something from another host" >&2
  exit 1
fi
for file in $want; do
  printf '  %-21s %7d bytes, %6d gzipped\n' "$file" "$(stat -c %s "build-web/$file")" \
    "$(gzip -9c "build-web/$file" | wc -c)"
done

echo "== web: unit tests under node, the page in Chromium, Firefox, WebKit and on a phone"
ctest --test-dir build-web --output-on-failure
echo "== web: all passed in $((SECONDS - began)) s"
