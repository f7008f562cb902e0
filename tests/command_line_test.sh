#!/usr/bin/env bash
# The built tool run as a user runs it, on this machine's own sysfs.
set -u
tool=$1
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect NAME STATUS STDOUT STDERR -- COMMAND...: the exact bytes and status.
expect() {
    local name=$1 status=$2 out=$3 err=$4
    shift 5
    "$@" >"$scratch/out" 2>"$scratch/err"
    local got=$?
    [ "$got" = "$status" ] || fail "$name: exit status $got, expected $status"
    printf '%s' "$out" | cmp -s - "$scratch/out" || fail "$name: stdout was [$(cat -A "$scratch/out")]"
    printf '%s' "$err" | cmp -s - "$scratch/err" || fail "$name: stderr was [$(cat "$scratch/err")]"
}

online=$(getconf _NPROCESSORS_ONLN)
if [ "$online" -le 64 ]; then
    report=$(printf 'IsWindowsServer: 0\nActive processor count across all processor groups: %d\nActive processors per group: %d,' "$online" "$online")
    expect "this machine" 0 "$report" "" -- "$tool"
else
    echo "note: $online CPUs form several groups here; checking the total only"
    "$tool" | sed -n 2p | grep -qx "Active processor count across all processor groups: $online" ||
        fail "the total differs from getconf's $online"
    report=$("$tool")
fi

long_argument=$(head -c 100000 /dev/zero | tr '\0' x)
expect "odd arguments" 0 "$report" "" -- "$tool" --help -v "" "two words" "$long_argument" -- $'\xff\xfe' '%x%n%s'

for cpu in $(seq 0 $((online - 1))); do
    expect "under taskset -c $cpu" 0 "$report" "" -- taskset -c "$cpu" "$tool"
done

expect "stdout on /dev/full" 1 "" $'procgroups: write error: No space left on device\n' -- sh -c '"$0" >/dev/full' "$tool"
expect "stdout closed" 1 "" $'procgroups: write error: Bad file descriptor\n' -- sh -c '"$0" >&-' "$tool"

[ "$failures" = 0 ] || exit 1
echo "command line: all checks passed"
