# Cross-compiles for POWER servers (ppc64el, little-endian) with Debian's
# powerpc64le-linux-gnu toolchain; target programs run under qemu-ppc64le-static.
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(PROCGROUPS_TARGET_TRIPLE powerpc64le-linux-gnu)
set(PROCGROUPS_QEMU_ARCH ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
