#!/usr/bin/env bash
# The built tool run as a user runs it: `tool_test.sh TOOL this_machine` on this
# machine's own sysfs, `tool_test.sh TOOL fixture_machines` on machines of other
# shapes, each fixture tree bound over /sys/devices/system in a private mount
# namespace so that the tool reads it as the running machine's own (the larger
# ones written by the program that $MAKE_FIXTURE names). Words after
# the suite go before the tool on every run (valgrind, say); a checker that finds
# a fault must exit with a status the checks do not expect.
set -u
source "$(dirname "$0")/test_helpers.sh"
tool=("${@:3}" "${target[@]}" "$1")

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
    # A reader that went away ends the tool by SIGPIPE, as it does any Unix tool.
    check "reader gone" 141 "" "" -- perl -e '$SIG{PIPE} = "DEFAULT"; pipe(my $r, my $w) or die; close $r;
        open(STDOUT, ">&", $w) or die; exec @ARGV or die' "${tool[@]}"
}

put() { mkdir -p "$(dirname "$1")" && printf '%s\n' "$2" >"$1"; }

# Only what needs a real process: CPUs it may run on, the listing's length,
# the line a damaged tree gives. The grouping rules have tables of their own.

# machine NAME ONLINE [NODE=CPULIST]...: a tree with those online CPUs and nodes.
machine() {
    local root=$scratch/$1
    put "$root/cpu/online" "$2"
    shift 2
    for node in "$@"; do
        put "$root/node/node${node%%=*}/cpulist" "${node#*=}"
    done
}

# fixture NAME STATUS STDOUT [CPUS]: the tool on the fixture machine NAME.
fixture() { on "$scratch/$1" "$@"; }

fixture_machines() {
    need_mount_namespace
    # CPUs 0 and 1, the ones this machine runs on, sit in different groups.
    machine split 0-127 0=0,2-64 1=1,65-127
    fixture split 0 "${head}128${nl}Active processors per group: 64,64,"
    # In group 1 only, the process is shown the count of group 0: the listing counts from 0.
    fixture split 0 "${head}128${nl}Active processors per group: 64," 1
    fixture split 0 "${head}128${nl}Active processors per group: 64," 0

    # Machines processor groups exist for, from make_fixture, on CPU 0.
    for shape in two_nodes_of_192:384:64 eight_nodes_of_48:384:48 node_of_20_eight_thread_cores:160:64 \
        eight_packages_of_120_two_dies:960:64 cpus_4096:4096:64; do
        IFS=: read -r name online first_group <<<"$shape"
        "${target[@]}" "$MAKE_FIXTURE" "$name" "$scratch/$name" || fail "make_fixture $name"
        fixture "$name" 0 "${head}$online${nl}Active processors per group: $first_group," 0
    done

    machine elsewhere 4-7 0=4-7
    fixture elsewhere 1 "${head}4${nl}Unexpected GetProcessGroupAffinity success result.$nl"
    machine garbage_node 0-7 0=0-3x
    fixture garbage_node 1 "GetActiveProcessorCount failed with error: d$nl"
    machine no_online 0-7 0=0-7
    rm "$scratch/no_online/cpu/online"
    fixture no_online 1 "GetActiveProcessorCount failed with error: 2$nl"

    # cpu/online as a FIFO whose writer has written a list, and as a block
    # device holding one: neither is read.
    machine fifo 0-1 0=0-1
    rm "$scratch/fifo/cpu/online" && mkfifo "$scratch/fifo/cpu/online" && exec 3<>"$scratch/fifo/cpu/online" &&
        printf '0-1\n' >&3 || fail "writing into the FIFO"
    fixture fifo 1 "GetActiveProcessorCount failed with error: d$nl"
    exec 3>&-
    printf '0-1\n' >"$scratch/list" && truncate -s 512 "$scratch/list"
    if loop=$(losetup --find --show "$scratch/list"); then
        machine device 0-1 0=0-1
        rm "$scratch/device/cpu/online"
        mknod "$scratch/device/cpu/online" b "$((0x$(stat -c %t "$loop")))" "$((0x$(stat -c %T "$loop")))"
        fixture device 1 "GetActiveProcessorCount failed with error: d$nl"
        losetup --detach "$loop"
    else
        fail "no loop device for the block device case"
    fi
}

"$2"
finish "$2"
