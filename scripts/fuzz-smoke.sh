#!/usr/bin/env bash
# CI smoke run of the fuzz targets: 30 seconds each (or FUZZ_SECONDS). Skips when clang++ is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang++ >/dev/null 2>&1; then
    echo "== fuzz smoke: skipped (clang++ not found)"
    exit 0
fi
exec scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
