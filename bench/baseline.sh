# Sourced by the benchmarks: builds this tree's tool and make_fixture, and the
# tool as it was at commit $baseline into $work/procgroups-$baseline, from a
# worktree that is removed at exit with $work.
trap 'git worktree remove --force "$work/baseline" >/dev/null 2>&1; rm -rf "$work"' EXIT
cmake --preset default >/dev/null
cmake --build --preset default --target procgroups make_fixture >/dev/null
git worktree add --detach "$work/baseline" "$baseline" >/dev/null 2>&1
cmake -S "$work/baseline" -B "$work/baseline/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/baseline/build" --target procgroups >/dev/null
cp "$work/baseline/build/procgroups" "$work/procgroups-$baseline"
