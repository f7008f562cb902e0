#!/usr/bin/env bash
# The built tool on machines of other shapes: each fixture tree is bound over
# /sys/devices/system in a private mount namespace, so the tool reads it as the
# running machine's own.
set -u
tool=$1
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! unshare --mount true 2>/dev/null; then
    if [ "${CI:-}" = true ]; then
        echo "FAIL: cannot make a mount namespace, and CI must run these checks"
        exit 1
    fi
    echo "SKIP: cannot make a mount namespace here (needs root); fixture machines not checked"
    exit 77
fi

put() { mkdir -p "$(dirname "$1")" && printf '%s' "$2" >"$1"; }

# machine NAME ONLINE [NODE=CPULIST]...: a tree with those online CPUs and nodes.
machine() {
    local root=$scratch/$1
    put "$root/cpu/online" "$2"$'\n'
    shift 2
    for node in "$@"; do
        put "$root/node/node${node%%=*}/cpulist" "${node#*=}"$'\n'
    done
}

# two_thread_cores NAME FIRST LAST: sibling pairs (c, c+1) with their ids.
two_thread_cores() {
    local topology
    for cpu in $(seq "$2" "$3"); do
        topology=$scratch/$1/cpu/cpu$cpu/topology
        put "$topology/core_cpus_list" "$((cpu & ~1))-$((cpu | 1))"$'\n'
        put "$topology/physical_package_id" $'0\n'
        put "$topology/core_id" "$((cpu / 2))"$'\n'
    done
}

# expect NAME STATUS STDOUT [taskset CPUS]: run the tool on fixture NAME.
expect() {
    local name=$1 status=$2 out=$3 pin=${4:-}
    local run=(env)
    [ -n "$pin" ] && run=(taskset -c "$pin")
    unshare --mount sh -c 'mount --bind "$0" /sys/devices/system && exec "$@"' \
        "$scratch/$name" "${run[@]}" "$tool" >"$scratch/out" 2>"$scratch/err"
    local got=$?
    [ "$got" = "$status" ] || fail "$name ${pin:+on CPU $pin}: exit status $got, expected $status ($(cat "$scratch/err"))"
    printf '%s' "$out" | cmp -s - "$scratch/out" || fail "$name ${pin:+on CPU $pin}: stdout was [$(cat -A "$scratch/out")]"
}

nl=$'\n'
header() { printf 'IsWindowsServer: 0\nActive processor count across all processor groups: %d' "$1"; }

# CPUs 0 and 1, the ones this machine runs on, sit in different groups.
machine split 0-127 0=0,2-64 1=1,65-127
expect split 0 "$(header 128)${nl}Active processors per group: 64,64,"
# In group 1 only, the process is shown the count of group 0: the listing counts from 0.
expect split 0 "$(header 128)${nl}Active processors per group: 64," 1
expect split 0 "$(header 128)${nl}Active processors per group: 64," 0

machine big_node 0-71 0=0-71
two_thread_cores big_node 0 71
expect big_node 0 "$(header 72)${nl}Active processors per group: 64,"

machine no_numa 0-1
expect no_numa 0 "$(header 2)${nl}Active processors per group: 2,"

machine elsewhere 4-7 0=4-7
expect elsewhere 1 "$(header 4)${nl}Unexpected GetProcessGroupAffinity success result.$nl"

machine garbage_node 0-7 0=0-3x
expect garbage_node 1 $'GetActiveProcessorCount failed with error: d\n'

machine no_online 0-7 0=0-7
rm "$scratch/no_online/cpu/online"
expect no_online 1 $'GetActiveProcessorCount failed with error: 2\n'

[ "$failures" = 0 ] || exit 1
echo "fixture machines: all checks passed"
