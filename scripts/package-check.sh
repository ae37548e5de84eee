#!/usr/bin/env bash
# Builds the Debian package in a configured build folder and checks it:
# lintian, the desktop entry, the AppStream metadata and the man pages, all
# as they are inside the package. Prints each step's time; exits 1 on any
# finding (lintian: on errors and warnings; its notes are shown).
#
# Usage: scripts/package-check.sh [BUILD_FOLDER]   (default: build/)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd) || { echo "package-check: no build folder ${1:-build/}" >&2; exit 2; }
for tool in lintian desktop-file-validate appstreamcli man dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "package-check: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }
done

failed=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# step NAME COMMAND...: runs the command, prints its time and whether it passed.
step() {
  local name=$1; shift
  local start=$SECONDS
  if "$@"; then
    printf 'package-check: %-22s ok      %4ds\n' "$name" $((SECONDS - start))
  else
    printf 'package-check: %-22s FAILED  %4ds\n' "$name" $((SECONDS - start))
    failed=1
  fi
}

build_package() {
  rm -f "$build"/coverlume_*.deb
  cmake --build "$build" -j2 --target package >"$scratch/build.log" 2>&1 || { tail -30 "$scratch/build.log"; return 1; }
  deb=$(ls "$build"/coverlume_*.deb 2>/dev/null | head -1)
  [ -n "$deb" ] || { echo "no package was made"; return 1; }
  dpkg-deb -x "$deb" "$scratch/root"
  echo "package-check: $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
}

run_lintian() {
  lintian --fail-on error,warning --display-info "$deb"
}

# Silence is the pass mark of the next three: any line is a finding.
quiet() {
  local out
  out=$("$@" 2>&1)
  local status=$?
  [ -z "$out" ] || printf '%s\n' "$out"
  [ "$status" -eq 0 ] && [ -z "$out" ]
}

check_desktop_entry() {
  quiet desktop-file-validate "$scratch/root/usr/share/applications/com.quillmoor.Coverlume.desktop"
}

check_metainfo() {
  local out
  out=$(appstreamcli validate --no-net --strict "$scratch/root/usr/share/metainfo/com.quillmoor.Coverlume.metainfo.xml" 2>&1)
  local status=$?
  printf '%s\n' "$out" | grep -v '^$'
  [ "$status" -eq 0 ]
}

check_man_pages() {
  local page ok=0 count=0
  for page in "$scratch"/root/usr/share/man/man1/*.1.gz; do
    [ -e "$page" ] || break
    count=$((count + 1))
    # The way lintian reads them: any warning from groff is a finding.
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
      man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) && [ -z "$warnings" ] \
      || { printf '%s\n' "$warnings"; echo "in $(basename "$page")"; ok=1; }
  done
  [ "$count" -eq 2 ] || { echo "expected 2 man pages, found $count"; ok=1; }
  return $ok
}

total=$SECONDS
step "package" build_package
if [ -n "${deb:-}" ]; then
  step "lintian" run_lintian
  step "desktop-file-validate" check_desktop_entry
  step "appstreamcli validate" check_metainfo
  step "man pages" check_man_pages
fi
printf 'package-check: %-22s %s  %4ds\n' "all" "$([ $failed -eq 0 ] && echo 'ok    ' || echo 'FAILED')" $((SECONDS - total))
exit $failed
