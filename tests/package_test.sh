#!/usr/bin/env bash
# The packages as a user gets them: `package_test.sh BUILD linux` installs the
# .deb into a scratch root and runs what it installed, and checks the .tar.gz;
# `package_test.sh BUILD windows` checks what the .zip holds.
set -u
build=$1
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# holds ARCHIVE PATH...: the archive lists each path.
holds() {
    local listing
    listing=$(cmake -E tar tf "$1")
    shift
    for path in "$@"; do
        grep -q "/$path\$" <<<"$listing" || fail "the package lacks $path"
    done
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log"
    exit 1
}

if [ "$2" = windows ]; then
    holds "$scratch"/*.zip bin/procgroups.exe README.md LICENSE
else
    dpkg -x "$scratch"/*.deb "$scratch/root" || fail "dpkg -x failed"
    installed=$scratch/root/usr/bin/procgroups
    [ -x "$installed" ] || fail "the .deb installs no usr/bin/procgroups"
    "$build/procgroups" >"$scratch/expected"
    expected_status=$?
    "$installed" >"$scratch/got"
    [ $? = "$expected_status" ] || fail "the installed tool exits otherwise than the built one"
    cmp -s "$scratch/expected" "$scratch/got" || fail "the installed tool reports otherwise: [$(cat "$scratch/got")]"

    page=$scratch/root/usr/share/man/man1/procgroups.1
    warnings=$(groff -man -ww -z "$page" 2>&1) && [ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
    MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^EXIT STATUS' || fail "man does not render the manual page"
    for doc in README.md LICENSE; do
        [ -f "$scratch/root/usr/share/doc/procgroups/$doc" ] || fail "the .deb lacks $doc"
    done
    holds "$scratch"/*.tar.gz bin/procgroups share/man/man1/procgroups.1 share/doc/procgroups/README.md \
        share/doc/procgroups/LICENSE
fi

[ "$failures" = 0 ] || exit 1
echo "packages: all checks passed"
