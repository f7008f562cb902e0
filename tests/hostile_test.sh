#!/usr/bin/env bash
# Trees that claim huge or impossible machines in a few small files, or hold
# what sysfs never does. `hostile_test.sh make MAKE_FIXTURE FOLDER` writes them
# all; `hostile_test.sh run TOOL FOLDER SHAPE` runs the tool on one, as the
# running machine's own, and checks its exact report. The time limit is the
# test runner's, so that the writing does not count.
set -u
source "$(dirname "$0")/test_helpers.sh"

damaged="GetActiveProcessorCount failed with error: d$nl"
declare -A status=(
    [online_only_1048576]=0 [two_nodes_of_half_a_million]=0 [nodes_1024_of_20]=0
    [nodes_1024_of_1_with_distances]=0 [pieces_4000_in_two_nodes]=0 [pieces_of_22_and_43_16000]=0
    [huge_sibling_list]=1 [siblings_without_itself]=1 [node_1024]=1 [fifo]=1
)
declare -A report=(
    [online_only_1048576]="${head}1048576${nl}Active processors per group: 64,"
    [two_nodes_of_half_a_million]="${head}1048576${nl}Active processors per group: 64,"
    [nodes_1024_of_20]="${head}20480${nl}Active processors per group: 60,"
    [nodes_1024_of_1_with_distances]="${head}1024${nl}Active processors per group: 64,"
    [pieces_4000_in_two_nodes]="${head}260000${nl}Active processors per group: 64,"
    [pieces_of_22_and_43_16000]="${head}520000${nl}Active processors per group: 44,"
    [huge_sibling_list]=$damaged [siblings_without_itself]=$damaged [node_1024]=$damaged [fifo]=$damaged
)

case $1 in
make)
    for shape in "${!status[@]}"; do
        [ "$shape" = fifo ] && continue
        rm -rf "${3:?}/$shape"
        "${target[@]}" "$2" "$shape" "$3/$shape" || fail "make_fixture $shape"
    done
    rm -rf "$3/fifo" && mkdir -p "$3/fifo/cpu" "$3/fifo/node/node0" && echo 0-1 >"$3/fifo/cpu/online" &&
        mkfifo "$3/fifo/node/node0/cpulist" || fail "making the FIFO tree"
    finish "hostile trees"
    ;;
run)
    tool=("${target[@]}" "$2")
    need_mount_namespace
    on "$3/$4" "$4" "${status[$4]}" "${report[$4]}" 0
    finish "$4"
    ;;
esac
