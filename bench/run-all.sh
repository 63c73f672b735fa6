#!/usr/bin/env bash
# Runs every benchmark of the project in one go on an optimised build and prints a table of ratios
# against the baselines measured in the same run (cp or a read/write copy of the same bytes, a byte-per-read
# reader, sox, a short song, the same job with no window).
# Usage: bench/run-all.sh [scratch-folder]   (default /tmp; it needs about 2 GB free)
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=${1:-/tmp}

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
bin=build/release/bench
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT

run() { # name, command...
    local name=$1; shift
    echo "== $name" >&2
    "$@" | tee "$log/$name.txt" >&2
}

run adl "$bin/pelmora_bench_adl" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$log/adl.json" --benchmark_out_format=json
run export "$bin/pelmora_bench_export" --benchmark_out="$log/export.json" \
    --benchmark_out_format=json
run render "$bin/pelmora_bench_render" 3 3 "$scratch"
run render_io "$bin/pelmora_bench_render_io" 3 5 "$scratch"
run stage "$bin/pelmora_bench_stage" 3 "$scratch"
run soxpeer "$bin/pelmora_bench_soxpeer" 3 5 "$scratch"
# In memory (/dev/shm when there is one): what it measures is the cost of the window, not of the disk.
run progress "$bin/pelmora_bench_progress" 15
run convert "$bin/pelmora_bench_convert" 3 3 "$scratch"
TMPDIR=$scratch run peaks "$bin/pelmora_bench_peaks" --benchmark_enable_random_interleaving=true \
    --benchmark_out="$log/peaks.json" --benchmark_out_format=json
TMPDIR=$scratch run songview "$bin/pelmora_bench_songview" --benchmark_out="$log/songview.json" \
    --benchmark_out_format=json

python3 - "$log" <<'PY'
import json, re, sys, os
log = sys.argv[1]

def gb(name):
    data = json.load(open(os.path.join(log, name + ".json")))
    times = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name", "median") in ("median",) or "aggregate_name" not in b:
            times.setdefault(b["run_name"], []).append(b["real_time"])
    return {k: sorted(v)[len(v) // 2] for k, v in times.items()}

def gbn(name):  # gb() keyed by the benchmark and its arguments alone
    return {re.sub(r"/(iterations|repeats|real_time).*", "", k): v for k, v in gb(name).items()}

def grab(name, pattern):
    m = re.search(pattern, open(os.path.join(log, name + ".txt")).read())
    return float(m.group(1)) if m else float("nan")

rows = []
a = gb("adl")
rows.append(("ADL open, 5000 entries", "read(2) per byte", a["BM_AdlOpen_Buffered"] / a["BM_AdlOpen_ReadPerByte"],
             "<= 0.05"))
e = gb("export")
rows.append(("export 16 x 3 min", "cp", e["BM_Export"] / e["BM_Cp"], "<= 1.3"))
rows.append(("export 16 x 3 min", "cp + fsync", e["BM_Export"] / e["BM_CpThenFsync"], ""))
rows.append(("render 16 x 3 min, no-op target", "cp", grab("render", r"no-op target:.*=\s*([\d.]+)x"), "<= 1.3"))
rows.append(("render, cross-thread target", "cp", grab("render", r"cross-thread target:.*=\s*([\d.]+)x"), ""))
rows.append(("render 16 x 3 min, processor time", "read/write 1 MiB", grab("render_io", r"render / copy:\s*=\s*([\d.]+)x"),
             "<= 1.25"))
rows.append(("render, 5000 entries, processor", "48 entries", grab("render_io", r"5000 / 48 entries:\s*=\s*([\d.]+)x"),
             "<= 1.3"))
rows.append(("stage + image a 74-min disc", "cp", grab("stage", r"cp\s+:.*ratio ([\d.]+)x"), "<= 1.3"))
rows.append(("stage + image a 74-min disc", "cp + sync", grab("stage", r"cp \+ sync\s+:.*ratio ([\d.]+)x"), ""))
rows.append(("render one track", "sox pipeline", grab("soxpeer", r"=\s*([\d.]+)x sox"), ""))
rows.append(("import behind the progress dialog", "no window", grab("progress", r"import window / no window:\s*=\s*([\d.]+)x"),
             "<= 1.1"))
rows.append(("export behind the progress dialog", "no window", grab("progress", r"export window / no window:\s*=\s*([\d.]+)x"),
             "<= 1.1"))
rows.append(("convert 16 x 3 min to 48 kHz", "sox", grab("convert", r"=\s*([\d.]+)x sox"), "<= 1.0"))
p = gbn("peaks")
rows.append(("peaks of 16 x 3 min, from the disk", "read 1 MiB", p["BM_SongPeaks/1"] / p["BM_ReadSameBytes/1"], "<= 1.1"))
rows.append(("peaks of 16 x 3 min, page cache", "read 1 MiB", p["BM_SongPeaks/0"] / p["BM_ReadSameBytes/0"], ""))
print()
print(f"{'benchmark':36} {'baseline':18} {'ratio':>7}  target")
for name, base, ratio, target in rows:
    print(f"{name:36} {base:18} {ratio:7.2f}  {target}")
v = gbn("songview")
print()
print(f"{'song view, 16 x 10 min, warm peaks':44} {'ms':>7}  aim")
for key, text, aim in (("BM_OpenView/0", "open, 48 entries", "< 300"), ("BM_OpenView/1", "open, 5000 entries", "< 300"),
                       ("BM_Frame/0/0", "frame, widest zoom, 48 entries", "< 16"),
                       ("BM_Frame/0/1", "frame, narrowest zoom, 48 entries", "< 16"),
                       ("BM_Frame/1/0", "frame, widest zoom, 5000 entries", "< 16"),
                       ("BM_Frame/1/1", "frame, narrowest zoom, 5000 entries", "< 16")):
    print(f"{text:44} {v[key]:7.1f}  {aim}")
PY
