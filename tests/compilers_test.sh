#!/usr/bin/env bash
# The tool as a user builds it (`--target procgroups`), with each C++ compiler
# given and warnings as errors, run beside the reference build:
# `compilers_test.sh SOURCE REFERENCE_TOOL COMPILER...`. Then a warning the
# project's flags do not expect (-Waggregate-return, which g++ raises on any
# function returning a vector): a user's build still builds; one with warnings
# as errors, as CI builds, fails.
set -u
source "$(dirname "$0")/test_helpers.sh"
source_dir=$1 reference=$2
shift 2

# build NAME COMPILER [CMAKE ARGUMENT...]: the tool alone, in $scratch/NAME.
build() {
    local name=$1 compiler=$2
    shift 2
    env -u PROCGROUPS_WARNINGS_AS_ERRORS cmake -S "$source_dir" -B "$scratch/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_TESTING=OFF -DCMAKE_CXX_COMPILER="$compiler" "$@" >"$scratch/$name.log" 2>&1 &&
        cmake --build "$scratch/$name" --target procgroups >>"$scratch/$name.log" 2>&1
}

"$reference" >"$scratch/expected"
expected_status=$?
for compiler in "$@"; do
    name=$(basename "$compiler")
    if ! build "$name" "$compiler" -DPROCGROUPS_WARNINGS_AS_ERRORS=ON; then
        fail "$name: $(tail -n 20 "$scratch/$name.log")"
        continue
    fi
    "$scratch/$name/procgroups" >"$scratch/$name.out"
    status=$?
    [ "$status" = "$expected_status" ] && cmp -s "$scratch/expected" "$scratch/$name.out" ||
        fail "$name: its tool reported [$(cat "$scratch/$name.out")], status $status"
done

build user_with_a_new_warning g++ -DCMAKE_CXX_FLAGS=-Waggregate-return ||
    fail "a new warning failed a user's build: $(tail -n 5 "$scratch/user_with_a_new_warning.log")"
grep -q "Waggregate-return" "$scratch/user_with_a_new_warning.log" || fail "the new warning was not raised"
build ci_with_a_new_warning g++ -DCMAKE_CXX_FLAGS=-Waggregate-return -DPROCGROUPS_WARNINGS_AS_ERRORS=ON &&
    fail "a new warning did not fail a build with warnings as errors"
finish compilers
