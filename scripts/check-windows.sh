#!/usr/bin/env bash
# Cross-builds Quillfane.exe and its zip, reads the version record back from the exe, checks
# that it needs no DLL beyond Windows' own, and runs the unit tests and one real-window
# scenario under Wine on Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_packages cmake make python3 g++-mingw-w64-x86-64 googletest python3-pefile icoutils \
  wine wine64 xvfb xdotool openbox python3-xlib x11-utils
began=$SECONDS
exe=build-windows/Quillfane.exe

echo "== windows: cross-build"
rm -f build-windows/CMakeCache.txt  # nothing left over from another configure
cmake --preset windows -DQUILLFANE_WERROR=ON >/dev/null
grep -qx QUILLFANE_WERROR:BOOL=ON build-windows/CMakeCache.txt
cmake --build --preset windows

echo "== windows: version record, icon, imports and zip"
/usr/bin/python3 - "$exe" build-windows/Quillfane-1.00-win64.zip <<'PY'
import sys, zipfile
import pefile
exe, zip_path = sys.argv[1:]
pe = pefile.PE(exe)
fixed = pe.VS_FIXEDFILEINFO[0]
versions = {"FILEVERSION": (fixed.FileVersionMS, fixed.FileVersionLS),
            "PRODUCTVERSION": (fixed.ProductVersionMS, fixed.ProductVersionLS)}
expected = {name: (0x10000, 0) for name in versions}  # 1,0,0,0
strings = {k.decode(): v.decode() for info in pe.FileInfo[0] if hasattr(info, "StringTable")
           for table in info.StringTable for k, v in table.entries.items()}
want = {"FileVersion": "1.00", "ProductVersion": "1.00", "ProductName": "Quillfane",
        "InternalName": "Quillfane", "OriginalFilename": "Quillfane.exe"}
for name, (ms, ls) in versions.items():
    print("  %-16s %d,%d,%d,%d" % (name, ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
for name in sorted(strings):
    print("  %-16s %s" % (name, strings[name]))
bad = [n for n in versions if versions[n] != expected[n]] + [n for n in want if strings.get(n) != want[n]]
bad += [] if strings.get("FileDescription") else ["FileDescription"]
imports = sorted(entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT)
print("  imports          " + " ".join(imports))
bad += [dll for dll in imports if dll not in ("KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "WINMM.DLL", "MSVCRT.DLL")]
packed = sorted(zipfile.ZipFile(zip_path).namelist())
print("  %s: %s" % (zip_path, " ".join(packed)))
bad += [] if packed == ["Quillfane.exe", "README-windows.txt"] else ["zip contents"]
if bad:
    sys.exit("wrong or missing in %s: %s" % (exe, ", ".join(bad)))
PY
wrestool -x --type=group_icon -o build-windows/icon-read-back.ico "$exe"
icotool -l build-windows/icon-read-back.ico | sed 's/^/  icon /'
[ "$(icotool -l build-windows/icon-read-back.ico | grep -c -- '--icon')" -eq 4 ]
ls -l "$exe" | awk '{print "  size             " $5 " bytes"}'

echo "== windows: unit tests and the game under Wine"
export WINEPREFIX WINEDEBUG=-all
WINEPREFIX=$(mktemp -d /tmp/quillfane-wine.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
# No Mono or Gecko: nothing here needs them, and their installers would ask.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i 2>/dev/null
echo "  wine prefix ready after $((SECONDS - began)) s"
wine build-windows/quillfane_tests.exe --gtest_brief=1
# Wine's desktop process, started above with no display, must be gone before the game starts.
wineserver -w
/usr/bin/python3 e2e/run.py flight "wine $PWD/$exe"
echo "== windows: all passed in $((SECONDS - began)) s"
