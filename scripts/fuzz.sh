#!/usr/bin/env bash
# Builds the libFuzzer targets with the fuzz preset (clang, ASan+UBSan) and runs each one in turn for
# SECONDS, seeded from tests/data and fuzz/seeds. Crashes and hangs land in <build>/findings/.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh 600              ten minutes for every target
#   scripts/fuzz.sh 30               the CI smoke run
#   scripts/fuzz.sh 120 fuzz_wave    one target
# Environment: PELMORA_FUZZ_BUILD  build folder (default build/fuzz)
#              PELMORA_FUZZ_JOBS   parallel build jobs (default nproc)
# Exit status: 0 when no target found anything, 1 otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_adl fuzz_timecode fuzz_wave fuzz_staging)
build=${PELMORA_FUZZ_BUILD:-build/fuzz}
jobs=${PELMORA_FUZZ_JOBS:-$(nproc)}

echo "== fuzz: configure and build (${build})"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "$jobs"

# Seeds for each target: fixtures from tests/data, hand-made ones from fuzz/seeds, and every input
# kept from an earlier finding (tests/data/fuzz/<target without fuzz_>-*).
seed_sources() {
    case "$1" in
    fuzz_adl) echo tests/data/*.adl ;;
    fuzz_timecode) echo fuzz/seeds/timecode/* ;;
    fuzz_wave | fuzz_staging) echo fuzz/seeds/wave/* tests/data/fuzz/wave-* ;;
    esac
    echo tests/data/fuzz/"${1#fuzz_}"-*
}
# Time codes are 16 characters; files stay small enough for many runs a second.
max_len() {
    case "$1" in
    fuzz_timecode) echo 64 ;;
    *) echo 65536 ;;
    esac
}
dictionary() {
    case "$1" in
    fuzz_adl) echo fuzz/adl.dict ;;
    fuzz_timecode) echo fuzz/timecode.dict ;;
    *) echo fuzz/wave.dict ;;
    esac
}

status=0
summary=()
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    seeds="$build/seeds/$target"
    log="$build/findings/$target.log"
    rm -rf "$seeds"
    mkdir -p "$corpus" "$seeds"
    for f in $(seed_sources "$target"); do
        [ -f "$f" ] && cp "$f" "$seeds/"
    done
    echo "== fuzz: $target for ${seconds}s (log: $log)"
    set +e
    nice -n 10 "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$(max_len "$target")" -dict="$(dictionary "$target")" -artifact_prefix="$root/$build/findings/$target-" \
        -print_final_stats=1 "$corpus" "$seeds" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(grep -Eo '^Done [0-9]+ runs in [0-9]+ second' "$log" | tail -1 || true)
    cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
    if [ $rc -ne 0 ]; then
        status=1
        summary+=("$target: FOUND a crash or hang (exit $rc), see $log and $build/findings/")
        grep -E '^==[0-9]+==ERROR|SUMMARY|^artifact_prefix|Test unit written' "$log" | head -5 || true
    else
        summary+=("$target: ${runs:-no runs}, ${cov:-no coverage line}")
    fi
done

echo "== fuzz: summary"
printf '%s\n' "${summary[@]}"
exit $status
