#!/usr/bin/env bash
# Builds and runs every test: the static checks (format, include arrows, then clang-tidy once the
# Debug tree is built), a short run of each fuzz target (when clang is there), the Debug build's suite,
# then the same suite under AddressSanitizer and UBSan (ctest's summary comes last). The Debian package
# is built from the Debug tree and checked (scripts/package-check.sh).
# Usage: scripts/test.sh [dev|asan]...   (both, the checks and the fuzz smoke run when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=("$@")
smoke=0
[ ${#presets[@]} -gt 0 ] || { presets=(dev asan); smoke=1; }
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

if [ "$smoke" -eq 1 ]; then
    scripts/check.sh format includes
    echo "== fuzz smoke run"
    scripts/fuzz-smoke.sh
fi

for preset in "${presets[@]}"; do
    echo "== ${preset}: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    if [ "$smoke" -eq 1 ] && [ "$preset" = dev ]; then
        scripts/check.sh tidy
        echo "== the Debian package"
        scripts/package-check.sh build/dev
    fi
    echo "== ${preset}: tests"
    ctest --preset "$preset" -j "$jobs"
done
