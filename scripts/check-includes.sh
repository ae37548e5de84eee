#!/usr/bin/env bash
# Checks that every #include "folder/…" in src/ follows an arrow allowed by
# the ```arrows block of docs/architecture.md. Each line of that block reads
#     folder: allowed allowed …
# where an allowed entry is a folder (any header in it) or one header
# (core/ThemeStage.h). A folder may always include its own headers; a
# folder's subfolders (players/mpris) belong to it. Prints every arrow that
# is not allowed, and exits 1 if there is one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
doc="$top/docs/architecture.md"

declare -A allowed
while IFS= read -r line; do
    folder=${line%%:*}
    allowed[$folder]=" ${line#*:} "
done < <(sed -n '/^```arrows$/,/^```$/p' "$doc" | sed '1d;$d' | sed 's/[[:space:]]\+/ /g')

if [ "${#allowed[@]}" -eq 0 ]; then
    echo "check-includes: no arrows block in $doc" >&2
    exit 1
fi

bad=0
while IFS= read -r hit; do
    file=${hit%%:*}
    rel=${file#"$top/src/"}
    from=${rel%%/*}
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:}")
    to=${target%%/*}
    [ "$target" = "$to" ] && continue # a header beside the file
    [ "$to" = "$from" ] && continue
    if [ -z "${allowed[$from]+x}" ]; then
        echo "$rel: folder $from/ has no line in the arrows block"
        bad=1
        continue
    fi
    case "${allowed[$from]}" in
    *" $to "* | *" $target "*) ;;
    *)
        echo "$rel: $from/ may not include $target"
        bad=1
        ;;
    esac
done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$top/src" --include='*.h' --include='*.cpp')

if [ "$bad" -ne 0 ]; then
    echo "check-includes: arrows not allowed by docs/architecture.md (see above)" >&2
    exit 1
fi
echo "check-includes: every include follows an allowed arrow"
