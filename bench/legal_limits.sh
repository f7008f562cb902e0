#!/usr/bin/env bash
# What procgroups costs on the largest machines Linux can be (8,192 CPUs),
# each tree written by the tests' make_fixture on /dev/shm and bound over
# /sys/devices/system in a private mount namespace (needs root). For each
# shape, side by side in one hyperfine run: the tool as built at BASELINE
# (default 46f5c06), this build, and this build on the same shape at half the
# size. Checks that both builds print the same report, that this build takes
# under 0.3 s, and that its cost grows with what it reads: the time of the
# machine against its half at most 1.25 x the ratio of the bytes read (strace).
# Usage: bench/legal_limits.sh [RUNS] (default 10). Needs hyperfine and strace.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
baseline=${BASELINE:-46f5c06}
work=$(mktemp -d /dev/shm/procgroups-bench-XXXXXX)
source bench/baseline.sh

shapes=(nodes_of_8_with_distances_:1024 two_sockets_of_nodes_of_64_:128 interleaved_nodes_:8192
    nodes_cut_into_cores_of_33_to_48_:12)
for shape in "${shapes[@]}"; do
    name=${shape%:*} count=${shape#*:}
    build/default/make_fixture "$name$count" "$work/$name$count"
    build/default/make_fixture "$name$((count / 2))" "$work/$name$((count / 2))"
done

bash -s "$work" "$baseline" "$runs" "$PWD/build/default/procgroups" "${shapes[@]}" <<'INSIDE'
set -euo pipefail
work=$1 baseline=$2 runs=$3 tool=$4
shift 4
old=$work/procgroups-$baseline
# Every run on CPU 0, in a mount namespace of its own with the tree as the
# machine's topology.
on() { printf '%s' "unshare --mount sh -c 'mount --bind $1 /sys/devices/system && exec taskset -c 0 $2'"; }
bytes_read() {
    sh -c "$(on "$1" "strace -qq -e trace=read -o $work/strace $tool")" >/dev/null
    sed -n 's/.* = \([0-9][0-9]*\)$/\1/p' "$work/strace" | awk '{s += $1} END {print s + 0}'
}
printf '%-40s %10s %10s %10s %8s %8s\n' shape "$baseline" "this" "half" "time x" "bytes x"
failed=0
for shape in "$@"; do
    name=${shape%:*} count=${shape#*:}
    full=$work/$name$count half=$work/$name$((count / 2))
    half_bytes=$(bytes_read "$half")
    full_bytes=$(bytes_read "$full")
    cmp <(sh -c "$(on "$full" "$old")") <(sh -c "$(on "$full" "$tool")") ||
        { echo "$name$count: the two builds report differently"; failed=1; }
    hyperfine -N --warmup 2 --runs "$runs" --export-json "$work/times.json" \
        "$(on "$full" "$old")" "$(on "$full" "$tool")" "$(on "$half" "$tool")" >/dev/null 2>&1
    read -r base_ms this_ms half_ms < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print(*("%.1f" % (x["median"] * 1e3) for x in r))' "$work/times.json")
    verdict=$(python3 -c '
import sys
this, half, fb, hb = map(float, sys.argv[1:])
time_ratio, bytes_ratio = this / half, fb / hb
ok = this < 300 and time_ratio <= 1.25 * bytes_ratio
print("%.2f %.2f %s" % (time_ratio, bytes_ratio, "meets" if ok else "MISSES"))' "$this_ms" "$half_ms" "$full_bytes" "$half_bytes")
    read -r time_ratio bytes_ratio ok <<<"$verdict"
    printf '%-40s %8sms %8sms %8sms %8s %8s %s\n' "$name$count" "$base_ms" "$this_ms" "$half_ms" "$time_ratio" \
        "$bytes_ratio" "$ok"
    [ "$ok" = meets ] || failed=1
done
exit "$failed"
INSIDE
