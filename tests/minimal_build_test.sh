#!/usr/bin/env bash
# The README's first command on a machine with nothing but CMake, Ninja and a
# compiler: `minimal_build_test.sh SOURCE` configures SOURCE with the test
# tools out of reach (GoogleTest and Google Benchmark disabled, a PATH without
# valgrind, clang-tidy and the package tools), builds it, runs the tool, and
# checks that a status line names each tool left out; then that requiring the
# test tools makes the same configuration fail.
set -u
source=$1
source "$(dirname "$0")/test_helpers.sh"

mkdir "$scratch/bin"
# The compiler and the binutils it drives, as a g++ package brings them.
for program in cmake ninja c++ g++ gcc cc as ld ar ranlib; do
    ln -s "$(command -v "$program")" "$scratch/bin/$program" || fail "no $program here"
done
# CMake looks for programs in the system's folders too: here only PATH counts.
configure=(env -u PROCGROUPS_REQUIRE_TEST_TOOLS PATH="$scratch/bin" cmake -S "$source" -G Ninja
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
    -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF)

"${configure[@]}" -B "$scratch/build" >"$scratch/configure.log" 2>&1 || fail "configuring: $(cat "$scratch/configure.log")"
for tool in GoogleTest "Google Benchmark" valgrind clang-tidy lintian rpmbuild; do
    grep -q "^-- $tool not found: .* left out$" "$scratch/configure.log" || fail "no status line names $tool"
done
PATH="$scratch/bin" cmake --build "$scratch/build" >"$scratch/build.log" 2>&1 || fail "building: $(cat "$scratch/build.log")"
"$scratch/build/procgroups" >"$scratch/report"
[ $? = 0 ] && grep -q '^Active processors per group: [0-9,]*$' "$scratch/report" ||
    fail "the tool built so does not report: [$(cat "$scratch/report")]"

"${configure[@]}" -B "$scratch/required" -DPROCGROUPS_REQUIRE_TEST_TOOLS=ON >"$scratch/required.log" 2>&1 &&
    fail "requiring the test tools did not fail the configuration"
grep -q "not found, and .* must run here" "$scratch/required.log" || fail "no message says which tool is required"

finish "minimal build"
