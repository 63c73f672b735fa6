#!/usr/bin/env bash
# The long round-trip sweep of exports that convert (the test suite tries a few short cases): sources made
# by sox at many rates, depths, containers and channel counts are exported with --convert into a 44.1 kHz
# and a 48 kHz song, imported back, and compared with sox's own conversion of the same source to float at
# the song's rate (its rate -h; a stereo source mixed at -3 dB each). Prints the RMS of the difference per
# case and fails when one is not below -85 dBFS. The dither alone gives about -96 dBFS; sources at 8 and
# 11.025 kHz come out a few dB above that, where sox's filter and libsoxr's part ways at those ratios (the
# test suite compares with libsoxr itself). A few minutes with the dev build.
# Usage: scripts/convert-sweep.sh [preset=dev] [seconds=10]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
seconds=${2:-10}
cli=build/$preset/cli/pelmora-cli
[ -x "$cli" ] || { echo "build the $preset preset first"; exit 1; }
command -v sox >/dev/null || { echo "needs sox"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/card" "$work/make" "$work/src" "$work/back"

# One song at each rate, made by an export of a file at that rate.
for rate in 44100 48000; do
    rm -f "$work/make"/*
    sox -n -r "$rate" -c 1 -b 16 "$work/make/tr16.wav" trim 0 0.1
    "$cli" export "$work/make" "$work/card" "S$rate" --yes >/dev/null 2>&1
done

worst=-200
failed=0
printf '%-34s %8s %8s\n' "source" "44100" "48000"
for rate in 8000 11025 22050 32000 44100 48000 88200 96000 176400 192000; do
    for kind in "u8:-b 8 -e unsigned:wav" "s16:-b 16:wav" "s24:-b 24:wav" "s32:-b 32:wav" "f32:-b 32 -e float:wav" \
        "s16:-b 16:flac" "s24:-b 24:flac" "s16:-b 16:aiff" "s24:-b 24:aiff"; do
        IFS=: read -r name encoding ext <<<"$kind"
        for channels in 1 2; do
            rm -f "$work/src"/*
            src="$work/src/tr01.$ext"
            # shellcheck disable=SC2086
            sox -D -n -r "$rate" -c "$channels" $encoding "$src" \
                synth "$seconds" sine 440 sine 3150 gain -9 2>/dev/null
            remix=""
            [ "$channels" = 2 ] && remix="remix 1v0.7071,2v0.7071"
            line=$(printf '%s %s %d Hz %s' "$name" "$ext" "$rate" "$([ "$channels" = 1 ] && echo mono || echo stereo)")
            row=""
            for song in 44100 48000; do
                "$cli" export "$work/src" "$work/card" "S$song" --yes --convert --stereo mix --tracks 1 \
                    >/dev/null 2>&1 || { row+=$(printf ' %8s' failed); failed=1; continue; }
                rm -f "$work/back"/*
                "$cli" import "$work/card" "S$song" "$work/back" --tracks 1 --yes >/dev/null 2>&1
                # shellcheck disable=SC2086
                sox -D "$src" -e float -b 32 "$work/ref.wav" $remix rate -h "$song"
                db=$(sox -m -v 1 "$work/back/tr01.wav" -v -1 "$work/ref.wav" -n stats 2>&1 |
                    awk '/RMS lev dB/ {print $4}')
                row+=$(printf ' %8s' "$db")
                if awk -v d="$db" 'BEGIN { exit !(d == "-inf" || d + 0 < -85) }'; then :; else failed=1; fi
                worst=$(awk -v a="$worst" -v b="$db" 'BEGIN { print (b != "-inf" && b + 0 > a + 0) ? b : a }')
            done
            printf '%-34s%s\n' "$line" "$row"
        done
    done
done
echo "worst: $worst dBFS (bound -85)"
exit "$failed"
