#!/usr/bin/env bash
# CI smoke run of the fuzz targets: 30 seconds each (or FUZZ_SECONDS). Skips, with a message, when
# clang++ or its libFuzzer runtime is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang++ >/dev/null 2>&1; then
    echo "== fuzz smoke: skipped (clang++ not found)"
    exit 0
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
    'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' >"$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1; then
    echo "== fuzz smoke: skipped (clang++ cannot link libFuzzer with ASan/UBSan)"
    exit 0
fi
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
