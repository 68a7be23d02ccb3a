#!/usr/bin/env bash
# Runs one scenario of the GUI driver against Pontevia.exe under Wine, in a
# throwaway prefix with a virtual desktop inside a virtual X server.
# Usage: run_gui_test.sh SCENARIO PACKAGE_DIR WINDOWS_BIN_DIR DATA_DIR ARTIFACTS_DIR [DISPLAY]
# PACKAGE_DIR holds Pontevia.exe and GestIB.chm; WINDOWS_BIN_DIR the driver.
set -euo pipefail
scenario="$1"; package="$2"; bin="$3"; data="$4"; artifacts="$5"; display="${6:-99}"
for f in "$package/Pontevia.exe" "$package/GestIB.chm" "$bin/gui_driver.exe"; do
  if [ ! -f "$f" ]; then
    echo "No existe $f: construya antes el destino Windows (cmake --build --preset windows)." >&2
    exit 1
  fi
done
mkdir -p "$artifacts"
prefix=$(mktemp -d "${TMPDIR:-/tmp}/pontevia-gui.XXXXXX")
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_bin=$(command -v wine64 || command -v wine)
"$wine_bin" wineboot -i >/dev/null 2>&1 || true
# A virtual desktop: Wine draws the window frames itself, with no window
# manager, and the screenshots show them.
"$wine_bin" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$wine_bin" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1200 /f >/dev/null 2>&1
if [ "$scenario" = high_dpi ]; then
  "$wine_bin" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
fi
WINEPREFIX="$prefix" wineserver -w || true
# Wine's own fonts (MS Sans Serif, Marlett for the caption buttons) where
# the program and the window frames look for them.
cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true

# The program in a folder of its own (Horalia.ini is written there), the
# working folder C:\HTEMP and the sample documents in C:\HTEMP\saga.
mkdir -p "$prefix/drive_c/Pontevia" "$prefix/drive_c/HTEMP/saga"
cp "$package/Pontevia.exe" "$package/GestIB.chm" "$prefix/drive_c/Pontevia/"
cp "$data"/*.xml "$prefix/drive_c/HTEMP/saga/"

shots="$artifacts/$scenario"
rm -rf "$shots"; mkdir -p "$shots"
winshots="Z:$(echo "$shots" | sed 's|/|\\|g')"
status=0
xvfb-run -a -n "$display" -s "-screen 0 1600x1200x24" \
  "$wine_bin" "$bin/gui_driver.exe" "$scenario" 'C:\Pontevia\Pontevia.exe' "$winshots" || status=$?
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $status
