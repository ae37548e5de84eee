#!/usr/bin/env bash
# The companion under the three attacks its connection limits answer: 500
# idle connections, 200 slowloris sockets and a flood of 200 clients asking
# back to back, all from 127.0.0.3. Under each, a normal client on 127.0.0.2
# asks 100 times; it should have its answer within 1 s at least 99 times.
# Loopback only; each attack ends after its 100 answers or 120 s.
#
# Usage: bench/attack-companion.sh [BUILD_DIR] [coverlume-broadcast to attack]
set -euo pipefail
build=${1:-build}
binary=${2:-$build/coverlume-broadcast}
export COVERLUME_LOOPBACK_ONLY=1
status=0
for attack in idle slowloris flood; do
    echo "== $attack"
    "$build/bench/bench_broadcast" --binary "$binary" --listen 127.0.0.61 --attack "$attack" \
        --probes 100 --max-seconds 120 || status=$?
done
exit $status
