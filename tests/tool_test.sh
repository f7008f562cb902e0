#!/usr/bin/env bash
# The built tool run as a user runs it: `tool_test.sh TOOL this_machine` on this
# machine's own sysfs, `tool_test.sh TOOL fixture_machines` on machines of other
# shapes, each fixture tree bound over /sys/devices/system in a private mount
# namespace so that the tool reads it as the running machine's own. Words after
# the suite go before the tool on every run (valgrind, say); a checker that finds
# a fault must exit with a status the checks do not expect.
set -u
tool=("${@:3}" "$1")
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
nl=$'\n'

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check NAME STATUS STDOUT STDERR -- COMMAND...: the exact bytes and exit status.
check() {
    local name=$1 status=$2 out=$3 err=$4
    shift 5
    "$@" >"$scratch/out" 2>"$scratch/err"
    local got=$?
    [ "$got" = "$status" ] || fail "$name: exit status $got, expected $status"
    printf '%s' "$out" | cmp -s - "$scratch/out" || fail "$name: stdout was [$(cat -A "$scratch/out")]"
    printf '%s' "$err" | cmp -s - "$scratch/err" || fail "$name: stderr was [$(cat "$scratch/err")]"
}

head="IsWindowsServer: 0${nl}Active processor count across all processor groups: "

this_machine() {
    local online report
    online=$(getconf _NPROCESSORS_ONLN)
    if [ "$online" -gt 64 ]; then
        echo "SKIP: $online CPUs form several groups here; the exact report is checked on fixtures only"
        exit 77
    fi
    report="$head$online${nl}Active processors per group: $online,"
    check "this machine" 0 "$report" "" -- "${tool[@]}"
    check "odd arguments" 0 "$report" "" -- "${tool[@]}" --help -v "" "two words" "$(head -c 100000 /dev/zero | tr '\0' x)" \
        -- $'\xff\xfe' '%x%n%s'
    for cpu in $(seq 0 $((online - 1))); do
        check "under taskset -c $cpu" 0 "$report" "" -- taskset -c "$cpu" "${tool[@]}"
    done
    check "stdout on /dev/full" 1 "" "procgroups: write error: No space left on device$nl" -- sh -c '"$@" >/dev/full' sh "${tool[@]}"
    check "stdout closed" 1 "" "procgroups: write error: Bad file descriptor$nl" -- sh -c '"$@" >&-' sh "${tool[@]}"
}

put() { mkdir -p "$(dirname "$1")" && printf '%s\n' "$2" >"$1"; }

# machine NAME ONLINE [NODE=CPULIST]...: a tree with those online CPUs and nodes.
machine() {
    local root=$scratch/$1
    put "$root/cpu/online" "$2"
    shift 2
    for node in "$@"; do
        put "$root/node/node${node%%=*}/cpulist" "${node#*=}"
    done
}

# on NAME STATUS STDOUT [CPUS]: the tool on fixture NAME, pinned to CPUS if given.
on() {
    local run=(env)
    [ -n "${4:-}" ] && run=(taskset -c "$4")
    check "$1${4:+ on CPU $4}" "$2" "$3" "" -- unshare --mount \
        sh -c 'mount --bind "$0" /sys/devices/system && exec "$@"' "$scratch/$1" "${run[@]}" "${tool[@]}"
}

fixture_machines() {
    if ! unshare --mount true 2>/dev/null; then
        [ "${CI:-}" = true ] && { echo "FAIL: CI must make a mount namespace, and cannot"; exit 1; }
        echo "SKIP: cannot make a mount namespace here (needs root); fixture machines not checked"
        exit 77
    fi
    # CPUs 0 and 1, the ones this machine runs on, sit in different groups.
    machine split 0-127 0=0,2-64 1=1,65-127
    on split 0 "${head}128${nl}Active processors per group: 64,64,"
    # In group 1 only, the process is shown the count of group 0: the listing counts from 0.
    on split 0 "${head}128${nl}Active processors per group: 64," 1
    on split 0 "${head}128${nl}Active processors per group: 64," 0

    # Four nodes of 20; CPUs 0 and 1 in nodes 0 and 1. Without distances the
    # nodes alternate between two groups; with them the socket of nodes 0 and 1
    # makes one group, and the process runs in that group only.
    machine four_nodes 0-79 0=0,2-20 1=1,21-39 2=40-59 3=60-79
    on four_nodes 0 "${head}80${nl}Active processors per group: 40,40,"
    cp -r "$scratch/four_nodes" "$scratch/two_sockets"
    for node in 0 1 2 3; do
        put "$scratch/two_sockets/node/node$node/distance" \
            "$(for other in 0 1 2 3; do
                [ "$other" = "$node" ] && echo 10 || { [ $((other / 2)) = $((node / 2)) ] && echo 11 || echo 21; }
            done | paste -sd' ')"
    done
    on two_sockets 0 "${head}80${nl}Active processors per group: 40,"

    machine big_node 0-71 0=0-71
    for cpu in $(seq 0 71); do
        put "$scratch/big_node/cpu/cpu$cpu/topology/core_cpus_list" "$((cpu & ~1))-$((cpu | 1))"
        put "$scratch/big_node/cpu/cpu$cpu/topology/core_id" "$((cpu / 2))"
    done
    on big_node 0 "${head}72${nl}Active processors per group: 64,"

    machine no_numa 0-1
    on no_numa 0 "${head}2${nl}Active processors per group: 2,"
    machine elsewhere 4-7 0=4-7
    on elsewhere 1 "${head}4${nl}Unexpected GetProcessGroupAffinity success result.$nl"
    machine garbage_node 0-7 0=0-3x
    on garbage_node 1 "GetActiveProcessorCount failed with error: d$nl"
    machine no_online 0-7 0=0-7
    rm "$scratch/no_online/cpu/online"
    on no_online 1 "GetActiveProcessorCount failed with error: 2$nl"
}

"$2"
[ "$failures" = 0 ] || exit 1
echo "$2: all checks passed"
