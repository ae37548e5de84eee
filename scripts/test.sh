#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite. Every test
# runs against a private D-Bus session bus and a temporary config directory.
#
# With CI set, or with --all, it also runs the sanitizer suite (build-asan/),
# every fuzz target for a while (build-fuzz/, clang) and the package checks,
# and prints each stage's time. COVERLUME_FUZZ_SECONDS sets the time per
# target (default 30); the targets run two at a time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
all=
if [ "${1:-}" = "--all" ]; then all=1; shift; fi
[ -n "${CI:-}" ] && all=1
jobs=$(nproc)

times=()
report() { [ "${#times[@]}" -gt 0 ] && printf 'stage times:\n' && printf '  %s\n' "${times[@]}"; }
trap report EXIT
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  times+=("$(printf '%-10s %4d s' "$name" $((SECONDS - start)))")
}

clang_library() {
  # The library must build with clang as well: compile only, a folder of its own.
  cmake -S "$top" -B "$top/build-clang" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
  cmake --build "$top/build-clang" -j"$jobs" --target coverlume_core
}

tests() { (cd "$top/build" && ctest --output-on-failure -j"$jobs" "$@"); }

sanitizers() {
  cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCOVERLUME_SANITIZE=ON >/dev/null
  cmake --build "$top/build-asan" -j"$jobs"
  # A test that fails is run once more: the sanitizers slow everything down
  # several times, and a test with a time bound may miss it once. A fault the
  # sanitizers find fails both runs.
  (cd "$top/build-asan" && ctest --output-on-failure -j"$jobs" --repeat until-pass:2)
}

fuzz_build() {
  # The fuzz targets and the readers they drive, with clang's libFuzzer.
  cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCOVERLUME_FUZZ=ON \
      -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
  cmake --build "$top/build-fuzz" -j"$jobs" --target fuzz_all
}

# One target: its corpus copied to a scratch folder (the fuzzer adds to it),
# the regressions read as well, findings kept under build-fuzz/findings/.
fuzz_one() {
  local name=$1 seconds=$2 work="$top/build-fuzz/run/$1" dict=()
  rm -rf "$work" && mkdir -p "$work/corpus" "$top/build-fuzz/findings"
  cp "$top/fuzz/corpus/$name/"* "$work/corpus/"
  [ -f "$top/fuzz/dict/$name.dict" ] && dict=(-dict="$top/fuzz/dict/$name.dict")
  local regressions=()
  [ -d "$top/fuzz/regressions/$name" ] && regressions=("$top/fuzz/regressions/$name")
  if LSAN_OPTIONS="suppressions=$top/fuzz/lsan.supp" QT_QPA_PLATFORM=offscreen \
     "$top/build-fuzz/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$top/build-fuzz/findings/$name-" "${dict[@]}" \
       "$work/corpus" "${regressions[@]}" >"$work/log" 2>&1; then
    echo "fuzz_$name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | grep -o '[0-9]*$') runs, no finding"
  else
    echo "fuzz_$name FAILED; its log:" && tail -n 60 "$work/log"
    return 1
  fi
}

fuzz_run() {
  local seconds=${COVERLUME_FUZZ_SECONDS:-30} names=() failed=0
  for src in "$top"/fuzz/fuzz_*.cpp; do names+=("$(basename "$src" .cpp | sed 's/^fuzz_//')"); done
  # Two at a time: one per core.
  for ((i = 0; i < ${#names[@]}; i += 2)); do
    fuzz_one "${names[i]}" "$seconds" & local first=$!
    local second=
    if [ $((i + 1)) -lt ${#names[@]} ]; then fuzz_one "${names[i + 1]}" "$seconds" & second=$!; fi
    wait "$first" || failed=1
    [ -z "$second" ] || wait "$second" || failed=1
  done
  return "$failed"
}

stage deps "$top/scripts/install-deps.sh"
stage build "$top/scripts/build.sh"
stage clang clang_library
stage tests tests "$@"
[ -n "$all" ] || exit 0
stage asan sanitizers
stage fuzz-build fuzz_build
stage fuzz fuzz_run
if [ -x "$top/scripts/package-check.sh" ]; then
  stage package "$top/scripts/package-check.sh"
fi
