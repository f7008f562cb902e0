#!/usr/bin/env bash
# The packages as a user gets them: `package_test.sh BUILD linux` checks the
# .deb with lintian, installs it with dpkg into a scratch root and uses and
# removes it there, and checks the .tar.gz; `package_test.sh BUILD windows`
# checks what the .zip holds.
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

# installs_runs_and_removes DEB: as a user gets it, into a root of its own
# with its own dpkg database: on the path, its page found by man, reporting as
# the built tool does; then removed without a trace.
installs_runs_and_removes() {
    local root=$scratch/root
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" && touch "$root/var/lib/dpkg/status"
    dpkg --root="$root" --log=/dev/null -i "$1" >/dev/null || { fail "dpkg -i failed"; return; }
    local installed
    installed=$(PATH=$root/usr/bin:/usr/bin:/bin command -v procgroups)
    [ "$installed" = "$root/usr/bin/procgroups" ] || fail "procgroups is not on the path after installing: [$installed]"
    [ "$(MANPATH=$root/usr/share/man man -w procgroups 2>/dev/null)" = "$root/usr/share/man/man1/procgroups.1.gz" ] ||
        fail "man -w does not find the installed page"
    MANPATH=$root/usr/share/man MANWIDTH=80 man procgroups 2>/dev/null | grep -q '^EXIT STATUS' ||
        fail "man does not render the installed page"
    "$build/procgroups" >"$scratch/expected"
    local expected_status=$?
    "$installed" >"$scratch/got"
    [ $? = "$expected_status" ] || fail "the installed tool exits otherwise than the built one"
    cmp -s "$scratch/expected" "$scratch/got" || fail "the installed tool reports otherwise: [$(cat "$scratch/got")]"

    dpkg --root="$root" --log=/dev/null --purge procgroups >/dev/null || fail "dpkg --purge failed"
    local left
    left=$(find "$root" -path "$root/var/lib/dpkg" -prune -o ! -type d -print)
    [ -z "$left" ] || fail "removing the package left files behind: $left"
    [ -z "$(find "$root/usr" -mindepth 1 2>/dev/null)" ] || fail "removing the package left folders in usr"
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log"
    exit 1
}

if [ "$2" = windows ]; then
    holds "$scratch"/procgroups-*-windows-x86_64.zip bin/procgroups.exe README.md LICENSE
else
    deb=$scratch/procgroups_$(sed -n 's/^project(procgroups VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")_amd64.deb
    [ -f "$deb" ] || fail "no $(basename "$deb"): the .deb is not named as Debian names packages"
    # Any error or warning fails; informational tags and overrides with their reasons are fine.
    lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian: $(lintian "$deb" 2>/dev/null)"

    warnings=$(groff -man -ww -z "$(dirname "$0")/../man/procgroups.1" 2>&1) && [ -z "$warnings" ] ||
        fail "the manual page has warnings: $warnings"
    holds "$scratch"/procgroups-*-linux-x86_64.tar.gz bin/procgroups share/man/man1/procgroups.1 \
        share/doc/procgroups/README.md share/doc/procgroups/LICENSE
    if [ "$(id -u)" = 0 ]; then
        installs_runs_and_removes "$deb"
    elif [ "${CI:-}" = true ]; then
        fail "CI must install the .deb, and is not root"
    else
        echo "SKIP: installing the .deb into a scratch root with dpkg needs root"
    fi
fi

[ "$failures" = 0 ] || exit 1
echo "packages: all checks passed"
