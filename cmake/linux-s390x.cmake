# Cross-compiles for IBM Z (s390x, big-endian) with Debian's
# s390x-linux-gnu toolchain; target programs run under qemu-s390x-static.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(PROCGROUPS_TARGET_TRIPLE s390x-linux-gnu)
set(PROCGROUPS_QEMU_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
