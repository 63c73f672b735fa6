#!/usr/bin/env bash
# The project's static checks, each failing the run on any finding:
#   format    every C++ file follows .clang-format
#   includes  the include arrows point one way (scripts/check-includes.sh)
#   tidy      the .clang-tidy checks on the program's own code (core, cli, gui); needs a configured
#             and built dev tree (build/dev) for its compile database and Qt's generated files
# Usage: scripts/check.sh [format|includes|tidy]...   (all three when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

checks=("$@")
[ ${#checks[@]} -gt 0 ] || checks=(format includes tidy)

for check in "${checks[@]}"; do
    case "$check" in
    format)
        echo "== format"
        git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
        echo "format: clean"
        ;;
    includes)
        echo "== includes"
        scripts/check-includes.sh
        ;;
    tidy)
        echo "== clang-tidy"
        [ -f build/dev/compile_commands.json ] || { echo "configure and build the dev preset first"; exit 1; }
        log=$(mktemp)
        trap 'rm -f "$log"' EXIT
        git ls-files 'core/*.cpp' 'cli/*.cpp' 'gui/*.cpp' |
            xargs -P "$(nproc)" -n 4 clang-tidy -p build/dev --quiet --warnings-as-errors='*' >"$log" 2>/dev/null ||
            { grep -E 'error:|warning:' "$log" | sort -u; echo "clang-tidy: findings above"; exit 1; }
        echo "clang-tidy: clean"
        ;;
    *)
        echo "unknown check: $check" >&2
        exit 2
        ;;
    esac
done
