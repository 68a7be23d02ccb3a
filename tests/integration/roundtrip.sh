#!/usr/bin/env bash
# One round trip in a fresh folder: school document -> pontevia export (levels
# from a file) -> horalia-standin (or its SOLUC rewritten by TDbf) ->
# pontevia import, then roundtrip_check compares SolucioHorari.xml with what
# the stand-in scheduled and with the school document.
#
#   roundtrip.sh --bin DIR --work DIR (--school FILE --levels FILE | --generate SEED)
#                [--tdbf PROGRAM LEVEL] [-- STANDIN OPTIONS...]
# --generate writes a school (and its levels file) with school_generator.
set -euo pipefail

bin="" work="" school="" levels="" seed="" tdbf="" tdbf_level=""
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --school) school="$2"; shift 2 ;;
    --levels) levels="$2"; shift 2 ;;
    --generate) seed="$2"; shift 2 ;;
    --tdbf) tdbf="$2"; tdbf_level="$3"; shift 3 ;;
    --) shift; break ;;
    *) echo "roundtrip.sh: argumento desconocido $1" >&2; exit 2 ;;
  esac
done

rm -rf "$work"
mkdir -p "$work/htemp" "$work/saga"
if [ -n "$seed" ]; then
  school="$work/centre_$seed.xml"
  levels="$work/niveles_$seed.csv"
  "$bin/school_generator" --seed "$seed" "$school" --levels "$levels"
fi

"$bin/pontevia" export "$school" --workdir "$work/htemp" --levels "$levels" --lines yes
"$bin/horalia-standin" --workdir "$work/htemp" --manifest "$work/manifest.tsv" "$@"
if [ -n "$tdbf" ]; then
  "$tdbf" "$work/htemp" "$work/manifest.tsv" "$tdbf_level"
fi
echo "elegido por el usuario" > "$work/saga/elegido.txt"
"$bin/pontevia" import "$work/saga/elegido.txt" --workdir "$work/htemp"
"$bin/roundtrip_check" verify "$school" "$work/manifest.tsv" "$work/saga/SolucioHorari.xml"
