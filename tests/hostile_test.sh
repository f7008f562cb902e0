#!/usr/bin/env bash
# The shapes of hostile_shapes.txt. `hostile_test.sh make MAKE_FIXTURE FOLDER`
# writes them all; `hostile_test.sh run TOOL FOLDER SHAPE` runs the tool on
# one, as the running machine's own, and checks its exact report. The time
# limit is the test runner's, so that the writing does not count.
set -u
source "$(dirname "$0")/test_helpers.sh"

declare -A status report
while read -r shape exit_status total first_group; do
    case $shape in '#'* | '') continue ;; esac
    status[$shape]=$exit_status
    if [ "$total" = d ]; then
        report[$shape]="GetActiveProcessorCount failed with error: d$nl"
    else
        report[$shape]="${head}$total${nl}Active processors per group: $first_group,"
    fi
done <"$(dirname "$0")/hostile_shapes.txt"

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
