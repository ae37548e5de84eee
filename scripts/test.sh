#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite. Every test
# runs against a private D-Bus session bus and a temporary config directory.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
cd "$top/build"
ctest --output-on-failure -j"$(nproc)" "$@"
