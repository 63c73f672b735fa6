#!/usr/bin/env bash
# Runs pelmora under a virtual X server and saves screenshots of the main window on each tab, the CD
# writer page with the demo card's mixdowns in its track list, the window made larger, the Tool menu,
# the Drive/Medium dialog, the About box and the progress dialog, to look at the windows as a user sees them. The window works on
# a demo card (--card) and starts in a desktop folder that holds the tracks imported from its first
# song, so the pages show a chosen song, its ticked tracks and a filled file list.
# Usage: scripts/screenshots.sh [build-folder] [output-folder]
#   (defaults: build/dev and build/screenshots; the build folder must hold gui/pelmora)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/dev}
out=${2:-build/screenshots}
exe=$(realpath "$build/gui/pelmora")
cli=$(realpath "$build/cli/pelmora-cli")
[ -x "$exe" ] && [ -x "$cli" ] || { echo "no $exe or $cli: build the project first" >&2; exit 1; }
for tool in xvfb-run import convert; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb imagemagick)" >&2; exit 1; }
done
mkdir -p "$out"

# A home of its own: the demo card, and the first song's tracks on its desktop.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
"$cli" make-demo-card "$home/card" >/dev/null
"$cli" import "$home/card" "Demo 44k" "$home/Desktop" >/dev/null

# A song of many overlapping regions on every track: the first demo song's files with a new event list.
overlap_song() {
    local song="$home/card/Overlaps" adl entry=0 track k at length from
    cp -r "$home/card/Demo 44k" "$song"
    mv "$song/Demo 44k.adl" "$song/Overlaps.adl"
    adl="$song/Overlaps.adl"
    tc() { printf '00.00.%02d.%02d|0000' $(($1 / 25)) $(($1 % 25)); } # frames at 25 fps
    RANDOM=18
    {
        sed -n '1,/<EVENT_LIST>/p' "$adl"
        for ((track = 1; track <= 16; track++)); do
            for ((k = 0; k < 14; k++)); do
                entry=$((entry + 1)) at=$((RANDOM % 1300)) length=$((10 + RANDOM % 140)) from=$((RANDOM % 50))
                if ((RANDOM % 6 == 0)); then
                    printf '\t\t(Entry)\t%04d\t(Silence)\t%d\t%s\t%s\t_\r\n' "$entry" "$track" "$(tc $at)" \
                        "$(tc $((at + length / 3)))"
                else
                    printf '\t\t(Entry)\t%04d\t(Cut)\tF\t"zt5%04d.wav"\t1\t%d\t%s\t%s\t%s\t_\r\n' "$entry" \
                        $((1 + RANDOM % 5)) "$track" "$(tc $from)" "$(tc $at)" "$(tc $((at + length)))"
                fi
            done
        done
        sed -n '/<\/EVENT_LIST>/,$p' "$adl"
    } >"$adl.new"
    mv "$adl.new" "$adl"
}
overlap_song

# One run per view: the program opens the view itself once its main window shows
# (PELMORA_SCREENSHOT_VIEW), the screen is captured and trimmed to the windows on it.
shoot() {
    local view=$1 file=$2
    xvfb-run -a -s "-screen 0 1280x900x24" env -u QT_QPA_PLATFORM HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        PELMORA_SCREENSHOT_VIEW="$view" bash -c '"$0" --card "$2" & pid=$!; sleep "${SHOT_DELAY:-3}"; import -window root "$1"; kill "$pid"; wait "$pid" 2>/dev/null || true' \
        "$exe" "$out/$file.raw.png" "$home/card"
    convert "$out/$file.raw.png" -trim +repage "$out/$file.png"
    rm -f "$out/$file.raw.png"
    echo "$out/$file.png"
}

shoot tab0 main-zt-to-pc
shoot tab1 main-pc-to-zt
shoot tab2 main-cd-writer
shoot resized main-resized
shoot toolmenu tool-menu
shoot cdtracks main-cd-writer-tracks
shoot drivemedium drive-medium
shoot about about
shoot progress progress
shoot songview:"Demo 44k" song-view-demo44k
shoot songview:"Demo 48k" song-view-demo48k
shoot songview:Overlaps song-view-overlaps

# The same song as the terminal draws it, made into a PNG to look at.
XDG_CACHE_HOME="$home/.cache" "$cli" timeline "$home/card" Overlaps --svg "$out/timeline-overlaps.svg" 2>/dev/null
if command -v rsvg-convert >/dev/null; then
    rsvg-convert "$out/timeline-overlaps.svg" -o "$out/timeline-overlaps.png"
else
    convert "$out/timeline-overlaps.svg" "$out/timeline-overlaps.png"
fi
echo "$out/timeline-overlaps.png"
