#!/usr/bin/env bash
# Fetches Debian's own kernels and static busybox for the real-kernel tests,
# as packages, and unpacks each into FOLDER/<arch>: boot/ holds the kernel,
# bin/busybox the shell. A folder that has both is left as it is. Needs no
# root and leaves the host's package system as it was: apt runs with a state
# of its own in FOLDER/apt (its package lists, for amd64 and ppc64el, and its
# cache), reading only the host's sources.
#
#   fetch_kernels.sh FOLDER
set -euo pipefail
folder=$(realpath -m "$1")
if [ -x "$folder/amd64/bin/busybox" ] && [ -x "$folder/ppc64el/bin/busybox" ] &&
    ls "$folder"/amd64/boot/vmlinuz-* "$folder"/ppc64el/boot/vmlinux-* >/dev/null 2>&1; then
    exit 0
fi
state=$folder/apt
mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
: >"$state/status"
apt=(-o "Dir::State=$state" -o "Dir::State::Lists=$state/lists" -o "Dir::State::status=$state/status"
     -o "Dir::Cache=$state/cache" -o "APT::Architecture=amd64" -o "APT::Architectures::=amd64"
     -o "APT::Architectures::=ppc64el" -o "APT::Sandbox::User=$(id -un)" -o "Debug::NoLocking=true")
apt-get "${apt[@]}" -qq update
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
for arch in amd64 ppc64el; do
    flavour=$([ "$arch" = amd64 ] && echo amd64 || echo powerpc64le)
    # The metapackage names the kernel of the current ABI.
    kernel=$(apt-cache "${apt[@]}" depends "linux-image-$flavour:$arch" | sed -n 's/^ *Depends: //p' | head -1)
    [ -n "$kernel" ] || { echo "fetch_kernels.sh: no $arch kernel package" >&2; exit 1; }
    mkdir "$download/$arch"
    (cd "$download/$arch" && apt-get "${apt[@]}" -qq download "${kernel%:*}:$arch" "busybox-static:$arch")
    rm -rf "${folder:?}/$arch" && mkdir -p "$folder/$arch"
    for package in "$download/$arch"/*.deb; do
        dpkg-deb -x "$package" "$folder/$arch"
    done
    rm -rf "${folder:?}/$arch/lib" "${folder:?}/$arch/usr"  # the kernel's modules: the guests need none
done
