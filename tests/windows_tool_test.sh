#!/usr/bin/env bash
# procgroups.exe as a Windows user runs it, under Wine: its whole output, with
# the CR LF line ends of the C runtime's text mode, its exit status, and the DLLs
# it imports.
set -u
exe=$1 wine_run=$2 objdump=$3
source "$(dirname "$0")/test_helpers.sh"
stdout=$scratch/stdout

"$wine_run" "$exe" ignored --arguments >"$stdout" 2>/dev/null
status=$?
cpus=$(getconf _NPROCESSORS_ONLN)
head=$(printf 'IsWindowsServer: 0\r\nActive processor count across all processor groups: %d\r\n' "$cpus"; echo .)
head=${head%.}
# Wine 8 lacks GetProcessGroupAffinity and fails it with ERROR_CALL_NOT_IMPLEMENTED;
# a Wine that has it gives the complete report.
unimplemented="${head}GetProcessGroupAffinity failed with error: 78"$'\r\n'
complete="${head}Active processors per group: $cpus,"
output=$(cat "$stdout"; echo .)
output=${output%.}
if [ "$output" = "$unimplemented" ]; then
    [ "$status" = 1 ] || fail "exit status $status after the GetProcessGroupAffinity failure, expected 1"
elif [ "$output" = "$complete" ]; then
    [ "$status" = 0 ] || fail "exit status $status after a complete report, expected 0"
else
    fail "unexpected output (status $status): [$(cat -A "$stdout")]"
fi

headers=$("$objdump" -p "$exe")
grep -q '^Magic[[:space:]]*020b' <<<"$headers" || fail "not a PE32+ image"
grep -q '^Subsystem[[:space:]]*00000003' <<<"$headers" || fail "not a console program"
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "imports DLLs other than Windows' own: $imports"

finish "procgroups.exe under Wine"
