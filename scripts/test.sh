#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite. Every test
# runs against a private D-Bus session bus and a temporary config directory.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
# The library must build with clang as well: compile only, a folder of its own.
cmake -S "$top" -B "$top/build-clang" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$top/build-clang" -j2 --target coverlume_core
cd "$top/build"
ctest --output-on-failure -j"$(nproc)" "$@"
