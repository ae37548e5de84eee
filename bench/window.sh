#!/usr/bin/env bash
# Usage: bench/window.sh BUILD_DIR [WxH ...]     (default: 1920x1080 3840x2160)
#
# The display in a real window, on an Xvfb screen of its own the size of the
# window, under tests/with-private-bus.sh (private bus, private settings,
# loopback only), with the demo players (the hold: one long track). For each
# size it prints:
#   first picture  the window's own line "window: first picture N ms after
#                  start", three runs (builds without the line: n/a)
#   pacing         601 frames: the pump's own summary, and the wall time of
#                  --frames 601 less that of --frames 1 (600 intervals: the
#                  goal is 30.00 s)
#   holding        CPU over 60 s of a cycle's hold ("cycle" 2400, one long
#                  track: bench/scenarios/itunes.json), in % of
#                  one core, from the threads' /proc/PID/task/*/schedstat
#                  (and, sampled, from /proc/PID/stat), and VmRSS in the hold
# Takes about two and a half minutes a size. Stops its Xvfb by its own pid.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: bench/window.sh BUILD_DIR [WxH ...]}" && pwd)
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
app="$build/coverlume"
[ -x "$app" ] || { echo "no $app" >&2; exit 1; }

if [ -z "${COVERLUME_WINDOW_BENCH_INNER:-}" ]; then
  # Outer part: one Xvfb per size, the measurements inside a private bus.
  for size in "${sizes[@]}"; do
    display=
    for n in $(seq 91 199); do
      if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
    done
    [ -n "$display" ] || { echo "no free display number" >&2; exit 1; }
    Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
    status=0
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb COVERLUME_WINDOW_BENCH_INNER=1 \
      "$here/tests/with-private-bus.sh" "$0" "$build" "$size" || status=$?
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    [ "$status" -eq 0 ] || exit "$status"
  done
  exit 0
fi

# Inner part: one size, on the Xvfb screen and bus set up above.
size=${sizes[0]}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
config() { # a fresh settings directory with these settings
  local dir; dir=$(mktemp -d "$scratch/config.XXXX")
  printf '%s\n' "$1" > "$dir/defaults.json"
  echo "$dir"
}
run() { # frames, settings; the log on stdout
  "$app" --players "$here/scenarios/demo.json" --size "$size" --seed 1 \
    --config-dir "$(config "$2")" --frames "$1" 2>&1
}
now_ns() { date +%s%N; }

echo "== $size ($(basename "$build"), $(nproc) cores)"
firsts=()
for _ in 1 2 3; do
  line=$(run 40 '{}' | grep -o 'first picture [0-9]* ms' || true)
  firsts+=("${line:+$(echo "$line" | grep -o '[0-9]*')}")
done
echo "first picture ms: ${firsts[*]:-n/a}"

t0=$(now_ns); run 1 '{}' >/dev/null; t1=$(now_ns)
log=$(run 601 '{}'); t2=$(now_ns)
echo "pacing: $(echo "$log" | grep -o 'frame pump: [0-9]* frames in .*skipped' || echo 'no pump line')"
awk -v one=$((t1 - t0)) -v all=$((t2 - t1)) \
  'BEGIN { printf "pacing: 601 frames %.2f s (wall %.2f s, less one frame'"'"'s run %.2f s)\n", (all - one) / 1e9, all / 1e9, one / 1e9 }'
echo "$log" | grep 'skipped after' | head -5 || true

# The hold: the fade-in is over after 26 frames; a cycle of 2400 holds for
# two minutes, over one long track (the demo's players change tracks and
# pause within the minute, which is no hold).
"$app" --players "$here/bench/scenarios/itunes.json" --size "$size" --seed 1 \
  --config-dir "$(config '{"cycle": 2400}')" >"$scratch/hold.log" 2>&1 &
pid=$!
sleep 5
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat"; }
# The scheduler's own count of time on a CPU, in ns, summed over the threads:
# exact, where the ticks above are sampled (and a process woken by a timer
# tends to be running when the tick comes, so they count it high).
ran_ns() { cat /proc/"$pid"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f", s }'; }
a=$(ticks); na=$(ran_ns); sleep 60; b=$(ticks); nb=$(ran_ns)
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
kill -TERM "$pid"; wait "$pid" || true
hz=$(getconf CLK_TCK)
awk -v d=$((b - a)) -v hz="$hz" -v ns=$((nb - na)) -v rss="$rss" \
  'BEGIN { printf "holding: %.2f %% of a core over 60 s (%.2f %% by /proc/PID/stat ticks); VmRSS %.0f MiB\n", ns / 1e9 / 60 * 100, d / hz / 60 * 100, rss / 1024 }'
grep -o 'frame pump: .*' "$scratch/hold.log" || true
