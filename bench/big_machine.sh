#!/usr/bin/env bash
# What procgroups costs on a machine processor groups exist for: two packages
# of 96 two-thread cores, one NUMA node each (384 CPUs), written by the tests'
# make_fixture and bound over /sys/devices/system in a private mount namespace
# (needs root). Side by side in one hyperfine run: a static program that only
# returns 0, the tool as built at BASELINE (default a48a600, before big nodes
# were read by package and die), this build, and hwloc's lstopo discovering the
# same CPU topology (from sysfs only: not from this machine's own CPUID or PCI
# devices, and every CPU, not only the ones the process may use). Counts the
# files each opens with strace, checks both builds print the same report, and
# prints the ratios against the targets. Usage: bench/big_machine.sh [RUNS]
# (default 300). Needs Debian's hyperfine, hwloc-nox and strace.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-300}
baseline=${BASELINE:-a48a600}
work=$(mktemp -d)
source bench/baseline.sh
cc -O2 -static -o "$work/empty" bench/empty.c
build/default/make_fixture two_nodes_of_192 "$work/machine"

# Everything below runs with the fixture as the machine's own topology.
unshare --mount bash -s "$work" "$baseline" "$runs" "$PWD/build/default/procgroups" <<'INSIDE'
set -euo pipefail
work=$1 baseline=$2 runs=$3 tool=$4
mount --bind "$work/machine" /sys/devices/system
export HWLOC_COMPONENTS=-x86
lstopo=(lstopo-no-graphics --disallowed --no-io --of console)
[ "$("${lstopo[@]}" | grep -c 'PU L#')" = 384 ] || { echo "lstopo does not see the 384 CPUs"; exit 1; }
old=$work/procgroups-$baseline
cmp <("$old") <("$tool") || { echo "the two builds report differently"; exit 1; }
opened() { strace -f -qq -e trace=open,openat -o "$work/strace" "$@" >/dev/null; wc -l <"$work/strace"; }
echo "files opened: $baseline $(opened "$old"), this build $(opened "$tool"), lstopo $(opened "${lstopo[@]}")"
hyperfine -N --warmup 20 --runs "$runs" --export-json "$work/times.json" \
    "$work/empty" "$old" "$tool" "${lstopo[*]}" >/dev/null 2>&1
python3 - "$work/times.json" "$baseline" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["results"]
names = ["empty static program", f"procgroups at {sys.argv[2]}", "procgroups", "lstopo-no-graphics"]
fastest = [r["min"] * 1e3 for r in runs]
median = [r["median"] * 1e3 for r in runs]
print(f"{'program':<34}{'fastest':>10}{'median':>10}")
for name, f, m in zip(names, fastest, median):
    print(f"{name:<34}{f:>8.2f}ms{m:>8.2f}ms")
empty, old, new, lstopo = fastest
checks = [
    (f"fastest {new / old:.3f} x the {sys.argv[2]} build's (target <= 0.6)", new <= 0.6 * old),
    (f"fastest {new / lstopo:.3f} x lstopo's (target <= 0.2)", new <= 0.2 * lstopo),
]
print(f"fastest {new / empty:.2f} x the empty program's")
for text, ok in checks:
    print(("meets " if ok else "MISSES ") + text)
sys.exit(0 if all(ok for _, ok in checks) else 1)
PY
INSIDE
