#!/usr/bin/env bash
# Installs what is missing, builds, and starts Coverlume with any options given.
# Run it as the desktop user: the display needs that user's session bus to
# see the players. Run as root, it only installs what is missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
if [ "$(id -u)" -eq 0 ]; then
  echo "Everything Coverlume needs is installed. Now run scripts/run.sh again as" >&2
  echo "your desktop user, not as root: the display shows the players of that" >&2
  echo "user's session." >&2
  exit 1
fi
"$top/scripts/build.sh"
exec "$top/build/coverlume" "$@"
