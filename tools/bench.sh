#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them: the conversion of the
# typical task against its floor, the cost per job from 10 to 10,000 jobs, the
# host end to end on a 1,000-job task file against parsing it alone, and the
# peak memory of the host program on a 10,000-job task file.
#   tools/bench.sh [BUILD_FOLDER] [extra t2d_bench arguments...]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build-bench}"
shift || true
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target t2d_bench ticket2dict >/dev/null

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
# Three repetitions; the ratios use the medians (a busy machine makes single
# runs noisy).
"$BUILD/bench/t2d_bench" --benchmark_filter='BM_(Floor|Typical|Jobs|HostEndToEnd|ParseOnly)' \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$WORK/bench.json" --benchmark_out_format=json "$@"

"$BUILD/bench/t2d_bench" --write-task=10000:"$WORK/task10000.json"
/usr/bin/time -v "$BUILD/host/ticket2dict" run "$WORK/task10000.json" -o "$WORK/result10000.json" \
  2>"$WORK/time.txt" >/dev/null
PEAK_KB="$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$WORK/time.txt")"
TASK_KB=$(( $(stat -c %s "$WORK/task10000.json") / 1024 ))
RESULT_KB=$(( $(stat -c %s "$WORK/result10000.json") / 1024 ))

python3 - "$WORK/bench.json" "$PEAK_KB" "$TASK_KB" "$RESULT_KB" <<'PY'
import json, sys
runs = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("run_type") == "aggregate":
        if b.get("aggregate_name") == "median":
            runs[b["run_name"]] = b
    else:
        runs.setdefault(b.get("run_name", b["name"]), b)
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
def cpu(name):
    b = runs[name]
    return b["cpu_time"] * scale[b["time_unit"]]
def per_job(n):
    return runs["BM_Jobs/%d" % n]["per_job"]
def show(seconds):
    for unit, f in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= f:
            return "%.3g %s" % (seconds / f, unit)
    return "%.3g ns" % (seconds / 1e-9)
print()
print("| Measure | CPU time |")
print("|---|---|")
print("| (1) floor: the typical task's items written into the dictionary | %s |" % show(cpu("BM_Floor")))
print("| (2) typical task converted in-process | %s |" % show(cpu("BM_Typical")))
for n in (10, 100, 1000, 10000):
    print("| (3) %d jobs on one master, per job | %s |" % (n, show(per_job(n))))
print("| (4) host end to end, 1,000-job task file | %s |" % show(cpu("BM_HostEndToEnd/1000")))
print("| parsing the same file with nlohmann-json alone | %s |" % show(cpu("BM_ParseOnly/1000")))
print()
rows = [
    ("typical / floor", cpu("BM_Typical") / cpu("BM_Floor"), 3.0),
    ("per job at 10,000 / per job at 10", per_job(10000) / per_job(10), 1.2),
    ("host end to end / parse alone (1,000 jobs)", cpu("BM_HostEndToEnd/1000") / cpu("BM_ParseOnly/1000"), 2.0),
]
print("| Ratio | Value | Target |")
print("|---|---|---|")
for name, value, target in rows:
    print("| %s | %.2f | <= %.1f %s |" % (name, value, target, "(holds)" if value <= target else "(missed)"))
print()
print("Peak memory of ticket2dict on a 10,000-job task file (%d KiB; result %d KiB): %.1f MiB"
      % (int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[2]) / 1024.0))
PY
