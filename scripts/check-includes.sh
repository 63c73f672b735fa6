#!/usr/bin/env bash
# Checks that the include arrows point one way: core never includes Qt, the application or the
# terminal tool; inside core, platform <- adl <- wave <- card and wave <- cdwriter, never back.
# Usage: scripts/check-includes.sh   (exit 1 and a line per wrong include when any is found)
set -euo pipefail
cd "$(dirname "$0")/.."

# Folders of core each part may include from (itself included).
declare -A allowed=(
    [platform]="platform"
    [adl]="adl platform"
    [wave]="wave adl platform"
    [card]="card wave adl platform"
    [cdwriter]="cdwriter wave adl platform"
)

status=0
complain() {
    echo "$1: includes $2 ($3)"
    status=1
}

while IFS= read -r file; do
    part=$(echo "$file" | cut -d/ -f2)
    while IFS= read -r line; do
        header=$(echo "$line" | sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/')
        case "$line" in
        *'<Q'* | *'<qt'* | *'<Qt'*) complain "$file" "$header" "core never sees Qt"; continue ;;
        esac
        case "$line" in *'"'*) ;; *) continue ;; esac
        dir=${header%%/*}
        if [ "$dir" = "$header" ]; then
            continue # a header beside the file
        fi
        if [ ! -f "core/$header" ]; then
            complain "$file" "$header" "only core headers belong in core"
        elif [[ " ${allowed[$part]} " != *" $dir "* ]]; then
            complain "$file" "$header" "$part may use only: ${allowed[$part]}"
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(git ls-files 'core/*.h' 'core/*.cpp')

# The terminal tool is built on core alone.
while IFS= read -r file; do
    while IFS= read -r line; do
        case "$line" in
        *'<Q'* | *'"app/'* | *'"res/'*) complain "$file" "$line" "the terminal tool does not use the window" ;;
        esac
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(git ls-files 'cli/*.h' 'cli/*.cpp')

[ "$status" -eq 0 ] && echo "include arrows: one way"
exit "$status"
