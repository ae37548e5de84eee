#!/usr/bin/env bash
# Installs the Debian package into a throwaway Debian 12 root and checks it
# there as a user would meet it: apt-get pulls every dependency, the
# commands and their man pages work, and the desktop entry's Exec line,
# started under Xvfb, shows the window, and its "Start with the Desktop"
# item writes the autostart entry. The screen, with the Coverlume menu open,
# is saved as a PNG.
#
# Needs root, mmdebstrap and the Debian mirror this machine's apt uses
# (read from /etc/apt/sources.list*). It downloads a small system, so it is
# run by hand before a release, not by the test command.
#
# Usage: sudo scripts/check-install.sh [PACKAGE.deb [SCREENSHOT.png]]
#   default: build/coverlume_*.deb and installed.png in the current folder
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--inside" ]; then
  # Run by mmdebstrap as a customize hook: $2 is the new root, with /dev,
  # /proc and /sys mounted; $3 the package's name there, $4 the screenshot.
  root=$2 deb=$3 shot=$4
  # exec_in_root replaces the calling shell, so that "exec_in_root ... &"
  # leaves the command's own id in $!; in_root runs in a subshell.
  exec_in_root() { exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 \
      HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config XDG_RUNTIME_DIR=/tmp/run "$@"; }
  in_root() { (exec_in_root "$@"); }
  say() { printf 'check-install: %s\n' "$*"; }

  say "apt-get install ./$deb"
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "/tmp/$deb" >"$root/tmp/apt.log" 2>&1 \
    || { tail -30 "$root/tmp/apt.log"; exit 1; }
  grep -E '^(Setting up|Unpacking) ' "$root/tmp/apt.log" | wc -l | sed 's/^/check-install: packages set up: /'
  for dep in $(in_root dpkg-query -W -f='${Depends}\n' coverlume | tr ',' '\n' | sed 's/[(|].*//; s/ //g'); do
    in_root dpkg-query -W -f='${Status}\n' "$dep" | grep -q 'install ok installed' \
      || { say "dependency $dep is not installed"; exit 1; }
  done
  say "every dependency is installed"

  in_root coverlume --version
  in_root coverlume-broadcast --version
  for page in coverlume coverlume-broadcast; do
    out=$(in_root env MANPAGER=cat MANWIDTH=80 man "$page" 2>&1) || { printf '%s\n' "$out"; exit 1; }
    printf '%s\n' "$out" | grep -q 'ENVIRONMENT' || { say "man $page has no ENVIRONMENT section"; exit 1; }
    say "man $page: $(printf '%s\n' "$out" | wc -l) lines"
  done

  exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/com.quillmoor.Coverlume.desktop")
  say "starting the desktop entry's Exec line: $exec_line"
  mkdir -p "$root/tmp/fb" "$root/tmp/home/.config" "$root/tmp/run"
  chmod 700 "$root/tmp/run"
  # Xvfb picks a free display and names it on descriptor 3.
  exec_in_root Xvfb -displayfd 3 -screen 0 1280x800x24 -fbdir /tmp/fb -nolisten tcp \
    3>"$root/tmp/display" >"$root/tmp/xvfb.log" 2>&1 &
  xvfb=$!
  display=
  for _ in $(seq 1 100); do
    display=$(cat "$root/tmp/display" 2>/dev/null || true)
    [ -n "$display" ] && break
    sleep 0.1
  done
  [ -n "$display" ] || { cat "$root/tmp/xvfb.log"; kill "$xvfb"; say "Xvfb did not start"; exit 1; }
  display=:$display
  # The entry's command line, split as the desktop would (it has no
  # quoting), on a session bus of its own as a desktop would give it.
  exec_in_root env DISPLAY=$display COVERLUME_LOOPBACK_ONLY=1 dbus-run-session -- \
    sh -c "echo \$\$ >/tmp/app.pid; exec $exec_line" >"$root/tmp/app.log" 2>&1 &
  app=$!
  # The program by its own id; the bus goes with it.
  stop() {
    if [ -s "$root/tmp/app.pid" ]; then kill "$(cat "$root/tmp/app.pid")" 2>/dev/null; else kill "$app" 2>/dev/null; fi
    wait "$app" 2>/dev/null
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true
  }
  trap stop EXIT
  shown=
  for _ in $(seq 1 300); do
    if in_root env DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q '"Coverlume"'; then shown=1; break; fi
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$shown" ] || { cat "$root/tmp/app.log"; say "no Coverlume window"; exit 1; }
  say "the window is shown: $(in_root env DISPLAY=$display xprop -name Coverlume WM_CLASS 2>/dev/null)"
  sleep 3   # the first picture fades in
  # Tick "Start with the Desktop" in the Coverlume menu: the installed entry
  # lands in the autostart folder. Then open the menu again for the picture.
  in_root env DISPLAY=$display xdotool mousemove 40 10 click 1
  sleep 1
  in_root env DISPLAY=$display xdotool mousemove 100 76 click 1
  autostart=$root/tmp/home/.config/autostart/com.quillmoor.Coverlume.desktop
  for _ in $(seq 1 50); do [ -f "$autostart" ] && break; sleep 0.1; done
  cmp "$autostart" "$root/usr/share/applications/com.quillmoor.Coverlume.desktop" \
    || { say "ticking Start with the Desktop wrote no copy of the entry"; exit 1; }
  say "Start with the Desktop wrote the autostart entry"
  in_root env DISPLAY=$display xdotool mousemove 40 10 click 1
  sleep 1
  python3 "$top/scripts/xwd-to-png.py" "$root/tmp/fb/Xvfb_screen0" "$shot"
  say "screen saved to $shot"
  exit 0
fi

[ "$(id -u)" -eq 0 ] || { echo "check-install: run it as root (it builds a root file system)" >&2; exit 1; }
command -v mmdebstrap >/dev/null || { echo "check-install: needs mmdebstrap (apt-get install mmdebstrap)" >&2; exit 1; }
deb=${1:-$(ls "$top"/build/coverlume_*.deb 2>/dev/null | head -1)}
[ -f "$deb" ] || { echo "check-install: no package; build it with: cmake --build build --target package" >&2; exit 1; }
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
shot=$(realpath -m "${2:-installed.png}")

# The Debian mirror this machine installs from.
mirror=$(grep -hsE '^[[:space:]]*(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
  /etc/apt/sources.list.d/*.sources | grep -oE 'https?://[^ ]*/debian/?( |$)' | grep -v security | head -1 || true)
mirror=${mirror% }
[ -n "$mirror" ] || { echo "check-install: no Debian mirror in /etc/apt/sources.list*" >&2; exit 1; }
echo "check-install: Debian 12 from $mirror"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
start=$SECONDS
mmdebstrap --quiet --mode=root --variant=apt --include=man-db,xvfb,xauth,x11-utils,xdotool,dbus-daemon \
  --customize-hook="cp '$deb' \"\$1/tmp/\"" \
  --customize-hook="'$0' --inside \"\$1\" '$(basename "$deb")' '$shot'" \
  bookworm "$scratch/root" "deb $mirror bookworm main"
echo "check-install: passed in $((SECONDS - start)) s"
