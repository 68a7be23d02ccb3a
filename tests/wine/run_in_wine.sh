#!/usr/bin/env bash
# Runs a Windows test program under Wine in a throwaway prefix, so the core is
# proven on Windows file semantics too. Usage: run_in_wine.sh PROGRAM.exe [ARGS...]
set -euo pipefail
exe="$1"; shift
if [ ! -f "$exe" ]; then
  echo "No existe $exe: construya antes el destino Windows (cmake --build --preset windows)." >&2
  exit 1
fi
prefix=$(mktemp -d "${TMPDIR:-/tmp}/pontevia-wine.XXXXXX")
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_bin=$(command -v wine64 || command -v wine)
# Initialise the prefix quietly before the real run, so its messages do not mix with the test's.
"$wine_bin" wineboot -i >/dev/null 2>&1 || true
"$wine_bin" "$exe" "$@"
