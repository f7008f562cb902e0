#!/usr/bin/env bash
# The packages as a user gets them. `package_test.sh BUILD linux VERSION
# DEBIAN_ARCHITECTURE PROCESSOR` checks the .deb with lintian and the .rpm with
# rpmlint, installs each into a scratch root of its own (dpkg, rpm) and uses and
# removes it there, and checks the .tar.gz; the tool runs through
# TARGET_EMULATOR where it is set. `package_test.sh BUILD windows VERSION`
# checks what the .zip holds.
set -u
build=$1 system=$2 version=$3
source_dir=$(dirname "$0")/..
source "$(dirname "$0")/test_helpers.sh"

# holds ARCHIVE PATH...: the archive lists each path.
holds() {
    local listing
    listing=$(cmake -E tar tf "$1")
    shift
    for path in "$@"; do
        grep -q "/$path\$" <<<"$listing" || fail "the package lacks $path"
    done
}

# uses ROOT: the package installed below ROOT as a user gets it: on the path,
# its page found and rendered by man, reporting as the built tool does.
uses() {
    local root=$1 installed
    installed=$(PATH=$root/usr/bin:/usr/bin:/bin command -v procgroups)
    [ "$installed" = "$root/usr/bin/procgroups" ] || fail "procgroups is not on the path after installing: [$installed]"
    [ "$(MANPATH=$root/usr/share/man man -w procgroups 2>/dev/null)" = "$root/usr/share/man/man1/procgroups.1.gz" ] ||
        fail "man -w does not find the installed page"
    MANPATH=$root/usr/share/man MANWIDTH=80 man procgroups 2>/dev/null | grep -q '^EXIT STATUS' ||
        fail "man does not render the installed page"
    "${target[@]}" "$build/procgroups" >"$scratch/expected"
    local expected_status=$?
    "${target[@]}" "$installed" >"$scratch/got"
    [ $? = "$expected_status" ] || fail "the installed tool exits otherwise than the built one"
    cmp -s "$scratch/expected" "$scratch/got" || fail "the installed tool reports otherwise: [$(cat "$scratch/got")]"
}

# removed_without_a_trace ROOT DATABASE: no file left below ROOT but in the
# package manager's DATABASE folder, and no folder of the package's own.
removed_without_a_trace() {
    local left
    left=$(find "$1" -path "$1/$2" -prune -o ! -type d -print -o -name 'procgroups*' -print -o -name .build-id -print)
    [ -z "$left" ] || fail "removing the package left this behind: $left"
}

# deb_installs_runs_and_removes DEB ARCHITECTURE: into a root of its own with
# its own dpkg database, which knows the package's architecture.
deb_installs_runs_and_removes() {
    local root=$scratch/deb-root
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" && touch "$root/var/lib/dpkg/status"
    [ "$2" = "$(dpkg --print-architecture)" ] || dpkg --root="$root" --add-architecture "$2"
    dpkg --root="$root" --log=/dev/null -i "$1" >/dev/null || { fail "dpkg -i failed"; return; }
    uses "$root"
    dpkg --root="$root" --log=/dev/null --purge procgroups >/dev/null || fail "dpkg --purge failed"
    removed_without_a_trace "$root" var/lib/dpkg
    # dpkg also removes the folders it made for the package alone.
    [ -z "$(find "$root/usr" -mindepth 1 2>/dev/null)" ] || fail "removing the package left folders in usr"
}

# rpm_installs_runs_and_removes RPM: into a root of its own with its own rpm
# database; the architecture is the package's, not this machine's. The
# standard folders are left, as the distribution's file system package owns them.
rpm_installs_runs_and_removes() {
    local root=$scratch/rpm-root
    # Debian's rpm keeps its database in the home folder unless told otherwise,
    # and warns that it is not the system's package manager.
    local rpm=(rpm --root="$root" --dbpath=/var/lib/rpm)
    "${rpm[@]}" --initdb 2>/dev/null || { fail "rpm --initdb failed"; return; }
    "${rpm[@]}" --ignorearch -i "$1" 2>/dev/null || { fail "rpm -i failed"; return; }
    uses "$root"
    "${rpm[@]}" -e procgroups 2>/dev/null || fail "rpm -e failed"
    removed_without_a_trace "$root" var/lib/rpm
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log"
    exit 1
}

if [ "$system" = windows ]; then
    holds "$scratch/procgroups-$version-windows-x86_64.zip" bin/procgroups.exe README.md LICENSE
else
    architecture=$4 processor=$5
    deb=$scratch/procgroups_${version}_$architecture.deb
    rpm=$scratch/procgroups-$version-1.$processor.rpm
    for package in "$deb" "$rpm"; do
        [ -f "$package" ] || fail "no $(basename "$package"): the package is not named as its distributions name them"
    done
    # Any error or warning fails; informational tags and overrides with their reasons are fine.
    lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian: $(lintian "$deb" 2>/dev/null)"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || fail "the .deb is not for $architecture"
    # Every finding that the configuration does not explain fails.
    rpmlint -r "$source_dir/cmake/rpm/procgroups.rpmlintrc" "$rpm" >"$scratch/rpmlint" 2>&1 ||
        fail "rpmlint: $(cat "$scratch/rpmlint")"
    [ "$(rpm -qp --qf '%{ARCH}' "$rpm" 2>/dev/null)" = "$processor" ] || fail "the .rpm is not for $processor"

    warnings=$(groff -man -ww -z "$source_dir/man/procgroups.1" 2>&1) && [ -z "$warnings" ] ||
        fail "the manual page has warnings: $warnings"
    holds "$scratch/procgroups-$version-linux-$processor.tar.gz" bin/procgroups share/man/man1/procgroups.1 \
        share/doc/procgroups/README.md share/doc/procgroups/LICENSE
    if [ "$(id -u)" = 0 ]; then
        deb_installs_runs_and_removes "$deb" "$architecture"
        rpm_installs_runs_and_removes "$rpm"
    elif [ "${CI:-}" = true ]; then
        fail "CI must install the packages, and is not root"
    else
        [ "$failures" = 0 ] || exit 1
        echo "SKIP: the packages were built and checked, but installing them into scratch roots with dpkg and rpm needs root"
        exit 77
    fi
fi

finish packages
