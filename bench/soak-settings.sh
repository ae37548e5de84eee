#!/usr/bin/env bash
# Settings soak: a writer (soak_settings_writer) is killed with SIGKILL at a
# random moment, COUNT times (default 1000). After each kill the settings
# file must parse, hold every key written before, and each key must be from
# the killed writer's generation or an earlier one, in key order (every
# set() replaces the file whole). The writer after a kill that left a lock
# behind must not be held up by it for 100 ms or more: its first write may
# take at most 100 ms longer than the median first write without a lock
# (which is the machine's own pace, measured alongside).
#
#   bench/soak-settings.sh [BUILD_DIR] [COUNT] [SEED]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
count=${2:-1000}
seed=${3:-1}
writer="$build/bench/soak_settings_writer"
[ -x "$writer" ] || { echo "build soak_settings_writer first" >&2; exit 2; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
exec python3 - "$writer" "$dir" "$count" "$seed" <<'PY'
import json, os, random, signal, subprocess, sys, time
writer, folder, count, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(seed)
path = os.path.join(folder, "defaults.json")
lock = path + ".lock"
failures, stale_locks, lock_waits, free_waits, killed_mid = [], 0, [], [], 0
# The writer's full run time (the median of five), to spread the kills over
# it and as much again: a loaded machine starts processes slowly.
runs = []
for _ in range(5):
    start = time.monotonic()
    subprocess.run([writer, folder, "0"], check=True, stdout=subprocess.DEVNULL)
    runs.append(time.monotonic() - start)
full = sorted(runs)[2]
with open(path) as f:
    before = json.load(f)
for generation in range(1, count + 1):
    had_lock = os.path.exists(lock)
    stale_locks += had_lock
    proc = subprocess.Popen([writer, folder, str(generation)], stdout=subprocess.PIPE, text=True)
    time.sleep(rng.uniform(0, full * 2))
    proc.send_signal(signal.SIGKILL)
    out, _ = proc.communicate()
    killed_mid += proc.returncode == -signal.SIGKILL
    if out.startswith("first-write-ms"):
        (lock_waits if had_lock else free_waits).append(float(out.split()[1]))
    try:
        with open(path) as f:
            after = json.load(f)
    except Exception as e:
        failures.append(f"{generation}: file broken: {e}")
        break
    lost = set(before) - set(after)
    if lost:
        failures.append(f"{generation}: keys lost: {sorted(lost)}")
    gens = [int(after[k].split()[0]) for k in sorted(after)]
    if any(g > generation for g in gens) or gens != sorted(gens, reverse=True):
        failures.append(f"{generation}: neither the old nor the new file: {gens}")
    if [k for k in os.listdir(folder) if "corrupt" in k]:
        failures.append(f"{generation}: the file was kept aside as broken")
    before = after
def median(values):
    values = sorted(values)
    return values[len(values) // 2] if values else 0.0
slowest = max(lock_waits) if lock_waits else 0.0
delay = slowest - median(free_waits)
print(f"kills {count} (landed before the writer ended: {killed_mid}), writer run {full*1000:.0f} ms")
print(f"first write without a lock left: {len(free_waits)} measured, median {median(free_waits):.1f} ms, "
      f"slowest {max(free_waits, default=0):.1f} ms")
print(f"locks left by a killed writer: {stale_locks}; next writer's first write: {len(lock_waits)} measured, "
      f"median {median(lock_waits):.1f} ms, slowest {slowest:.1f} ms (held up at most {delay:.1f} ms)")
for f in failures[:20]:
    print("FAIL", f)
ok = not failures and delay < 100
print("settings soak:", "PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
PY
