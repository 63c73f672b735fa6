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
