#!/usr/bin/env bash
# Builds and runs every test: the Debug build, then the same suite under AddressSanitizer and UBSan.
# Usage: scripts/test.sh [dev|asan]...   (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(dev asan)
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

for preset in "${presets[@]}"; do
    echo "== ${preset}: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "== ${preset}: tests"
    ctest --preset "$preset" -j "$jobs"
done
