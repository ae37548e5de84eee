#!/usr/bin/env bash
# The companion soak: 100 simulated displays, each on a loopback address of
# its own, poll every 3 s while 1,000 requests a second arrive for a minute,
# never more than 100 at once. Wanted: no failed or reset request, p99 under
# 5 ms, the server's resident memory flat (sampled every 5 s).
# Loopback only; ends after SECONDS (default 60) plus at most a minute.
#
# Usage: bench/soak-companion.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
export COVERLUME_LOOPBACK_ONLY=1
exec "$build/bench/bench_broadcast" --listen 127.0.0.62 --soak --displays 100 --rate 1000 \
    --seconds "$seconds" --concurrency 100 --max-seconds $((seconds + 60))
