#!/usr/bin/env bash
# The exit statuses of `pontevia import` and that a failed import writes
# nothing: usage 2, missing chosen file 1, missing SOLUC (right after an
# export) 5, and an earlier SolucioHorari.xml kept as it was.
#   import_cli.sh BIN_DIR WORK_DIR SCHOOL.xml LEVELS.csv
set -uo pipefail
bin="$1" work="$2" school="$3" levels="$4"
rm -rf "$work"
mkdir -p "$work/htemp" "$work/saga"
"$bin/pontevia" export "$school" --workdir "$work/htemp" --levels "$levels" --lines yes >/dev/null || exit 1
echo "<anterior/>" > "$work/saga/SolucioHorari.xml"
touch "$work/saga/elegido.xml"

failed=0
expect() {  # expect STATUS DESCRIPTION COMMAND...
  local want="$1" what="$2"
  shift 2
  "$@" >"$work/out.txt" 2>&1
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FALLO: $what: estado $got, se esperaba $want"; cat "$work/out.txt"; failed=1
  fi
}
expect 2 "sin argumentos" "$bin/pontevia" import
expect 2 "opción desconocida" "$bin/pontevia" import "$work/saga/elegido.xml" --workdir "$work/htemp" --nada
expect 1 "archivo elegido inexistente" "$bin/pontevia" import "$work/saga/no.xml" --workdir "$work/htemp"
expect 5 "SOLUC inexistente" "$bin/pontevia" import "$work/saga/elegido.xml" --workdir "$work/htemp"
grep -q "SOLUC" "$work/out.txt" || { echo "FALLO: el mensaje no nombra SOLUC"; failed=1; }
[ "$(cat "$work/saga/SolucioHorari.xml")" = "<anterior/>" ] || { echo "FALLO: se tocó SolucioHorari.xml"; failed=1; }
"$bin/horalia-standin" --workdir "$work/htemp" >/dev/null || exit 1
expect 0 "importación" "$bin/pontevia" import "$work/saga/elegido.xml" --workdir "$work/htemp"
grep -q "<SESSIO " "$work/saga/SolucioHorari.xml" || { echo "FALLO: no se reemplazó SolucioHorari.xml"; failed=1; }
[ -z "$(ls "$work/saga" | grep -v '^elegido.xml$\|^SolucioHorari.xml$')" ] || { echo "FALLO: restos en saga"; ls "$work/saga"; failed=1; }
[ $failed = 0 ] && echo "pontevia import: estados de salida correctos"
exit $failed
