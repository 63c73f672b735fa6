#!/usr/bin/env bash
# Kills pelmora-cli at every call that changes a file, right before it and right after it, in every
# scenario of tests/kill (those known to fail included), checks the card (and the backup or image) after
# each kill and after a re-run, and prints a table: scenario, calls, kills, kills that broke something,
# songs damaged, leftovers under the program's own names (after the kills, and still there after the
# re-runs), audio files no event names. Each broken kill is one line in build/PRESET/kill-sweep.txt.
# Usage: scripts/kill-sweep.sh [PRESET [SCENARIO...]]   (PRESET dev by default; scenarios as the table
#        names them, all when none is named). Exit status 1 when any kill broke something.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-dev}
shift || true
build=build/$preset
[ -f "$build/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target kill_tests >/dev/null

filter='Scenarios/*'
if [ $# -gt 0 ]; then
    filter=$(printf 'Scenarios/*/%s:' "$@")
fi
report=$PWD/$build/kill-sweep.txt
log=$PWD/$build/kill-sweep.log
rm -f "$report"
status=0
PELMORA_KILL_SWEEP=1 PELMORA_KILL_REPORT="$report" "$build/tests/kill/kill_tests" --gtest_filter="$filter" \
    >"$log" 2>&1 || status=$?

sed -n '/^scenario /,/^\[/p' "$log" | grep -v '^\['
if [ -s "$report" ]; then
    echo "$(wc -l <"$report") kill(s) broke something, one a line: $report (the whole run: $log)"
elif [ "$status" -ne 0 ]; then
    echo "the sweep failed: $log"
fi
exit "$status"
