#!/usr/bin/env bash
# Players soak: on a private session bus, a headless display follows the real
# players while soak_players_fake appears, stops answering and vanishes
# CYCLES times (default 1000). Passes when the display followed the player
# again after every return and its longest frame step stayed under 300 ms.
#
#   bench/soak-players.sh [BUILD_DIR] [CYCLES] [SEED] [LONGEST_HANG_MS]
#
# LONGEST_HANG_MS 0 is the control run: the player comes and goes the same
# way but always answers, so what the machine's load alone does to the frame
# steps shows.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cycles=${2:-1000}
seed=${3:-1}
hang=${4:-1500}
[ -x "$build/coverlume" ] && [ -x "$build/bench/soak_players_fake" ] \
    || { echo "build coverlume and soak_players_fake first" >&2; exit 2; }
out=$(mktemp -d)
export COVERLUME_LOOPBACK_ONLY=1
# Private bus and settings: tests/with-private-bus.sh runs the rest.
exec "$top/tests/with-private-bus.sh" bash -c '
  set -u
  build=$1 cycles=$2 seed=$3 out=$4 hang=$5
  "$build/coverlume" --offscreen --config-dir "$out" --size 1280x800 --state "$out/state.json" \
      >"$out/display.log" 2>&1 &
  display=$!
  "$build/bench/soak_players_fake" "$cycles" "$seed" "$hang" >"$out/fake.log"
  fake=$?
  kill -TERM "$display"
  wait "$display"
  tail -n 1 "$out/fake.log"
  python3 - "$out/state.json" "$fake" <<PY
import json, sys
state = json.load(open(sys.argv[1]))
longest, frames = state["longestFrameMs"], state["framesRun"]
print(f"frames {frames}, longest frame step {longest:.1f} ms")
ok = sys.argv[2] == "0" and longest < 300 and frames > 0
print("players soak:", "PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
PY
  status=$?
  rm -rf "$out"
  exit $status
' soak "$build" "$cycles" "$seed" "$out" "$hang"
