#!/usr/bin/env bash
# One round trip in a fresh folder: school document -> pontevia export (levels
# from a file) -> horalia-standin (or its SOLUC rewritten by TDbf) ->
# pontevia import, then roundtrip_check compares SolucioHorari.xml with what
# the stand-in scheduled and with the school document.
#
#   roundtrip.sh --bin DIR --work DIR (--school FILE --levels FILE | --generate SEED)
#                [--tdbf PROGRAM LEVEL] [--wine WINDOWS_BIN_DIR] [-- STANDIN OPTIONS...]
# --generate writes a school (and its levels file) with school_generator.
# --wine runs pontevia.exe and horalia-standin.exe of the Windows build under
# Wine (MSXML writes the document) in a throwaway prefix; the checks stay
# native.
set -euo pipefail

bin="" work="" school="" levels="" seed="" tdbf="" tdbf_level="" wine_bin=""
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --school) school="$2"; shift 2 ;;
    --levels) levels="$2"; shift 2 ;;
    --generate) seed="$2"; shift 2 ;;
    --tdbf) tdbf="$2"; tdbf_level="$3"; shift 3 ;;
    --wine) wine_bin="$2"; shift 2 ;;
    --) shift; break ;;
    *) echo "roundtrip.sh: argumento desconocido $1" >&2; exit 2 ;;
  esac
done

rm -rf "$work"
mkdir -p "$work/htemp" "$work/saga"
work="$(cd "$work" && pwd)"
[ -z "$school" ] || school="$(realpath "$school")"
[ -z "$levels" ] || levels="$(realpath "$levels")"

pontevia=("$bin/pontevia")
standin=("$bin/horalia-standin")
if [ -n "$wine_bin" ]; then
  for exe in pontevia.exe horalia-standin.exe; do
    if [ ! -f "$wine_bin/$exe" ]; then
      echo "No existe $wine_bin/$exe: construya antes el destino Windows." >&2
      exit 1
    fi
  done
  export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
  wine_cmd=$(command -v wine64 || command -v wine)
  "$wine_cmd" wineboot -i >/dev/null 2>&1 || true
  pontevia=("$wine_cmd" "$wine_bin/pontevia.exe")
  standin=("$wine_cmd" "$wine_bin/horalia-standin.exe")
  # Windows programs are given paths relative to the working folder.
  if [ -n "$school" ]; then cp "$school" "$work/centre.xml"; school=centre.xml; fi
  if [ -n "$levels" ]; then cp "$levels" "$work/niveles.csv"; levels=niveles.csv; fi
fi
cd "$work"
if [ -n "$seed" ]; then
  school="centre_$seed.xml"
  levels="niveles_$seed.csv"
  "$bin/school_generator" --seed "$seed" "$school" --levels "$levels"
fi

"${pontevia[@]}" export "$school" --workdir htemp --levels "$levels" --lines yes
"${standin[@]}" --workdir htemp --manifest manifest.tsv "$@"
if [ -n "$tdbf" ]; then
  "$tdbf" "$work/htemp" "$work/manifest.tsv" "$tdbf_level"
fi
echo "elegido por el usuario" > saga/elegido.txt
"${pontevia[@]}" import saga/elegido.txt --workdir htemp
"$bin/roundtrip_check" verify "$school" manifest.tsv saga/SolucioHorari.xml
