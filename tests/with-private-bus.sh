#!/usr/bin/env bash
# Runs one test binary against a private session bus and a private config
# directory, so no test ever reaches the user's own bus or settings.
set -u
scratch=$(mktemp -d)
trap 'kill "$bus_pid" 2>/dev/null; rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run" HOME="$scratch/home"
# The programs a test starts reach loopback addresses only.
export COVERLUME_LOOPBACK_ONLY=1
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
bus_pid=
if command -v dbus-daemon >/dev/null; then
  out=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1 \
        --address="unix:path=$scratch/bus") || { echo "cannot start dbus-daemon" >&2; exit 1; }
  export DBUS_SESSION_BUS_ADDRESS=$(printf '%s\n' "$out" | sed -n 1p)
  bus_pid=$(printf '%s\n' "$out" | sed -n 2p)
else
  unset DBUS_SESSION_BUS_ADDRESS
fi
unset DBUS_SYSTEM_BUS_ADDRESS
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/no-system-bus"
"$@"
