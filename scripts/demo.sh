#!/usr/bin/env bash
# Builds Pelmora (optimised) and runs its main job on a demo card.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

echo
echo "== Song summary of tests/data/demo.adl"
build/release/cli/pelmora-adl-info tests/data/demo.adl
