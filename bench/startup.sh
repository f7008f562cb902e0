#!/usr/bin/env bash
# Measures what procgroups costs to run, side by side with the floor (a static
# C program that only returns 0) and with nproc and getconf, and prints the
# ratios against the targets. Usage: bench/startup.sh [RUNS] (default 1000).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --preset default >/dev/null
cmake --build --preset default --target procgroups >/dev/null
tool=build/default/procgroups
cc -O2 -static -o "$work/empty" bench/empty.c

instructions() {
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$1" >/dev/null 2>"$work/callgrind.log"
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/callgrind.log"
}
empty_instructions=$(instructions "$work/empty")
tool_instructions=$(instructions "$tool")

hyperfine -N --warmup 50 --runs "$runs" --export-json "$work/times.json" \
    "$work/empty" "$tool" nproc "getconf _NPROCESSORS_ONLN" >/dev/null 2>&1

python3 - "$work/times.json" "$empty_instructions" "$tool_instructions" <<'PY'
import json, sys
times = {r["command"].rsplit("/", 1)[-1]: r for r in json.load(open(sys.argv[1]))["results"]}
empty_ir, tool_ir = int(sys.argv[2]), int(sys.argv[3])
fastest = {name: r["min"] * 1e6 for name, r in times.items()}
median = {name: r["median"] * 1e6 for name, r in times.items()}
ir_ratio = tool_ir / empty_ir
wall_ratio = fastest["procgroups"] / fastest["empty"]
print(f"{'program':<28}{'instructions':>14}{'fastest':>12}{'median':>12}")
for name in ["empty", "procgroups", "nproc", "getconf _NPROCESSORS_ONLN"]:
    ir = {"empty": empty_ir, "procgroups": tool_ir}.get(name)
    print(f"{name:<28}{ir if ir else '':>14}{fastest[name]:>10.0f}us{median[name]:>10.0f}us")
checks = [
    (f"instructions {ir_ratio:.3f} x the empty program's (target <= 1.25)", ir_ratio <= 1.25),
    (f"fastest wall time {wall_ratio:.3f} x the empty program's (target <= 1.15)", wall_ratio <= 1.15),
    ("fastest wall time below nproc's and getconf's",
     fastest["procgroups"] < min(fastest["nproc"], fastest["getconf _NPROCESSORS_ONLN"])),
]
for text, ok in checks:
    print(("meets " if ok else "MISSES ") + text)
sys.exit(0 if all(ok for _, ok in checks) else 1)
PY
