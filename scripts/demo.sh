#!/usr/bin/env bash
# The main job on a demo card: builds Pelmora, writes a demo card, imports a song's tracks into a PC
# folder, exports them back into a new song, and writes a CD image of a mixdown.
# Usage: scripts/demo.sh [OUTPUT_FOLDER]   (default: ./demo)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

cli=build/release/cli/pelmora-cli
out=$(realpath -m "${1:-demo}")
card="$out/card"
pc="$out/pc"
# Only a folder this script made before is replaced; anything else is left alone.
if [ -e "$out" ] && [ -n "$(ls -A "$out" 2>/dev/null)" ] && [ ! -e "$out/.pelmora-demo" ]; then
    echo "$out exists and was not made by this script; name another folder: scripts/demo.sh FOLDER" >&2
    exit 1
fi
rm -rf "$out"
mkdir -p "$out"
touch "$out/.pelmora-demo"

echo
echo "== Making a demo card in $card"
"$cli" make-demo-card "$card"

echo
echo "== The songs on the card"
"$cli" songs "$card"

echo
echo "== Importing every track of 'Demo 44k' into $pc"
"$cli" import "$card" "Demo 44k" "$pc" --yes

echo
echo "== Exporting those track files back into a new song 'Round Trip'"
"$cli" export "$pc" "$card" "Round Trip" --yes

echo
echo "== The card now"
"$cli" songs "$card"

echo
echo "== Writing a CD image of the two mixdowns"
"$cli" cd-image "$out/cd" Mixdown "$card/Mixdown/2mix/mix01.wav" "$card/Mixdown/2mix/mix02.wav"

echo
echo "Done. Everything is under $out:"
echo "  demo card:         $card"
echo "  imported tracks:   $pc/tr01.wav .. tr04.wav"
echo "  new song:          $card/Round Trip"
echo "  CD image:          $out/cd/Mixdown.cue, $out/cd/Mixdown.bin"
echo "Start the window with: build/release/gui/pelmora"
