#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, unpacks it into a scratch root and checks
# what a user's machine gets: every file in its place, the shared libraries it depends on, a desktop
# entry and a metainfo file the desktop's validators accept, and a terminal tool that starts.
# Usage: scripts/package-check.sh [BUILD_DIR]   (build/dev when not given)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}

out="$build/package"
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 || { cat "$out.log"; exit 1; }
deb=$(ls "$out"/pelmora_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

fail=0
expect() {
    [ -e "$root/$1" ] || { echo "package-check: $deb lacks /$1"; fail=1; }
}
for f in usr/bin/pelmora usr/bin/pelmora-cli \
         usr/share/applications/pelmora.desktop usr/share/metainfo/org.pelmora.Pelmora.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/pelmora.svg \
         usr/share/man/man1/pelmora-cli.1 usr/share/bash-completion/completions/pelmora-cli; do
    expect "$f"
done
for size in 16 32 48 256; do
    expect "usr/share/icons/hicolor/${size}x${size}/apps/pelmora.png"
done

depends=$(dpkg-deb -f "$deb" Depends)
for lib in qt6-qpa-plugins libqt6widgets6 libqt6dbus6 libburn4 libsndfile1 libsoxr0 libssl3; do
    [[ "$depends" == *"$lib"* ]] || { echo "package-check: Depends lacks $lib: $depends"; fail=1; }
done

desktop-file-validate "$root/usr/share/applications/pelmora.desktop" || fail=1
appstreamcli validate --no-net --no-color "$root/usr/share/metainfo/org.pelmora.Pelmora.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net "$root/usr/share/metainfo/org.pelmora.Pelmora.metainfo.xml"; fail=1; }
"$root/usr/bin/pelmora-cli" --version >/dev/null || { echo "package-check: pelmora-cli does not start"; fail=1; }

[ "$fail" -eq 0 ] || exit 1
echo "package-check: $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB, $(find "$root" -type f | wc -l) files) is complete"
