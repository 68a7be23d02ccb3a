#!/usr/bin/env bash
# The Windows program (MSXML, Win32 files) must write the same tables, byte for
# byte, as the native one (libxml2, POSIX files) from the same school, and take
# a source file whose name is outside ASCII from its UTF-16 command line.
# Usage: export_matches_native.sh NATIVE_PONTEVIA WINDOWS_PONTEVIA.exe DATA_DIR
set -euo pipefail
native="$1"; windows="$2"; data="$3"
if [ ! -f "$windows" ]; then
  echo "No existe $windows: construya antes el destino Windows (cmake --build --preset windows)." >&2
  exit 1
fi
here="$(cd "$(dirname "$0")" && pwd)"
work=$(mktemp -d "${TMPDIR:-/tmp}/pontevia-export-wine.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$data/centre.xml" "$work/centre_ñ.xml"
cp "$data/niveles.csv" "$work/niveles.csv"
mkdir "$work/nativo" "$work/windows"
cd "$work"
"$native" export "centre_ñ.xml" --workdir nativo --levels niveles.csv >/dev/null
"$here/run_in_wine.sh" "$windows" export "centre_ñ.xml" --workdir windows --levels niveles.csv >/dev/null
status=0
for f in nativo/*; do
  name=$(basename "$f")
  if ! cmp -s "$f" "windows/$name"; then
    echo "FALLO: $name difiere entre Linux y Windows" >&2
    status=1
  fi
done
if [ "$(ls nativo)" != "$(ls windows)" ]; then
  echo "FALLO: archivos distintos: $(ls nativo | tr '\n' ' ') / $(ls windows | tr '\n' ' ')" >&2
  status=1
fi
[ $status -eq 0 ] && echo "correcto"
exit $status
