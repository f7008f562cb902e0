# Shared by the shell tests: sourced, not run. It makes `scratch`, a folder
# removed at exit; `fail` counts a failure and `finish` ends the test by the
# count. The checks of the tool as a process (`check`, `on`) run `tool`, which
# the caller sets (an array: wrapper words, then the tool). `target` holds what
# runs a program built for this build's architecture: the emulator that
# TARGET_EMULATOR names, or nothing.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
target=(${TARGET_EMULATOR:+"$TARGET_EMULATOR"})
nl=$'\n'
head="IsWindowsServer: 0${nl}Active processor count across all processor groups: "

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

# on TREE NAME STATUS STDOUT [CPUS]: the tool on the sysfs tree TREE, bound over
# /sys/devices/system in a private mount namespace, pinned to CPUS if given.
on() {
    local run=(env)
    [ -n "${5:-}" ] && run=(taskset -c "$5")
    check "$2${5:+ on CPU $5}" "$3" "$4" "" -- unshare --mount \
        sh -c 'mount --bind "$0" /sys/devices/system && exec "$@"' "$1" "${run[@]}" "${tool[@]}"
}

# Exits 77 (skipped) where no mount namespace can be made, except in CI.
need_mount_namespace() {
    if ! unshare --mount true 2>/dev/null; then
        [ "${CI:-}" = true ] && { echo "FAIL: CI must make a mount namespace, and cannot"; exit 1; }
        echo "SKIP: cannot make a mount namespace here (needs root); fixture machines not checked"
        exit 77
    fi
}

finish() {
    [ "$failures" = 0 ] || exit 1
    echo "$1: all checks passed"
}
