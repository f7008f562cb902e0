#!/usr/bin/env bash
# Fetches Debian's own kernels and static busybox for the real-kernel tests,
# as packages, and unpacks each into FOLDER/<arch>: boot/ holds the kernel,
# bin/busybox the shell. A folder that has both is left as it is. Run as
# root: the ppc64el packages need that architecture known to dpkg, which this
# adds.
#
#   fetch_kernels.sh FOLDER
set -euo pipefail
folder=$(realpath -m "$1")
if [ -x "$folder/amd64/bin/busybox" ] && [ -x "$folder/ppc64el/bin/busybox" ] &&
    ls "$folder"/amd64/boot/vmlinuz-* "$folder"/ppc64el/boot/vmlinux-* >/dev/null 2>&1; then
    exit 0
fi
dpkg --print-foreign-architectures | grep -qx ppc64el || dpkg --add-architecture ppc64el
apt-get update
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
chmod 755 "$download"  # apt downloads as _apt
for arch in amd64 ppc64el; do
    flavour=$([ "$arch" = amd64 ] && echo amd64 || echo powerpc64le)
    # The metapackage names the kernel of the current ABI.
    kernel=$(apt-cache depends "linux-image-$flavour:$arch" | sed -n 's/^ *Depends: //p' | head -1)
    [ -n "$kernel" ] || { echo "fetch_kernels.sh: no $arch kernel package" >&2; exit 1; }
    mkdir -m 777 "$download/$arch"
    (cd "$download/$arch" && apt-get download "${kernel%:*}:$arch" "busybox-static:$arch")
    rm -rf "${folder:?}/$arch" && mkdir -p "$folder/$arch"
    for package in "$download/$arch"/*.deb; do
        dpkg-deb -x "$package" "$folder/$arch"
    done
    rm -rf "${folder:?}/$arch/lib" "${folder:?}/$arch/usr"  # the kernel's modules: the guests need none
done
