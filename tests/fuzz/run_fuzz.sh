#!/usr/bin/env bash
# A short libFuzzer run: run_fuzz.sh FUZZER SECONDS WORK_CORPUS SEEDS.
# New inputs go to WORK_CORPUS (kept in the build folder, so later runs start
# from them); the checked-in SEEDS are only read. A crash leaves its input in
# the build folder's fuzz/artifacts and fails the test.
set -euo pipefail
fuzzer="$1" seconds="$2" corpus="$3" seeds="$4"
if [ ! -x "$fuzzer" ]; then
  echo "No existe $fuzzer: construya el destino nativo con clang instalado (scripts/setup)." >&2
  exit 1
fi
artifacts="$(dirname "$fuzzer")/artifacts/"
mkdir -p "$corpus" "$artifacts"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$seeds"
