#!/usr/bin/env bash
# The release files rebuild bit for bit: `reproducible_test.sh SOURCE
# [CMAKE ARGUMENT...]` builds and packs the sources twice, in two folders and
# at two times, without SOURCE_DATE_EPOCH (so the commit's time stands in),
# and compares every file SHA256SUMS names, and SHA256SUMS itself.
set -u
source "$(dirname "$0")/test_helpers.sh"
source_dir=$1
shift

for build in first second; do
    sleep 1  # a second apart, so that a time stamp of the moment would show
    env -u SOURCE_DATE_EPOCH cmake -S "$source_dir" -B "$scratch/$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_TESTING=OFF "$@" >"$scratch/$build.log" 2>&1 &&
        cmake --build "$scratch/$build" >>"$scratch/$build.log" 2>&1 &&
        (cd "$scratch/$build" && env -u SOURCE_DATE_EPOCH cpack >>"$scratch/$build.log" 2>&1) ||
        fail "building the $build time: $(tail -n 20 "$scratch/$build.log")"
done
[ "$failures" = 0 ] || finish "reproducible release files"
(cd "$scratch/first" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
cmp -s "$scratch/first/SHA256SUMS" "$scratch/second/SHA256SUMS" || fail "the two SHA256SUMS differ"
while read -r _ name; do
    cmp -s "$scratch/first/$name" "$scratch/second/$name" || fail "$name differs between the builds"
done <"$scratch/first/SHA256SUMS"
[ "$(wc -l <"$scratch/first/SHA256SUMS")" -ge 1 ] || fail "no release file"
finish "reproducible release files: $(awk '{ print $2 }' "$scratch/first/SHA256SUMS" | tr '\n' ' ')"
