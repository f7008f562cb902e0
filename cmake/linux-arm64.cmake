# Cross-compiles for ARM64 servers (Ampere, Graviton, Grace) with Debian's
# aarch64-linux-gnu toolchain; target programs run under qemu-aarch64-static.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(PROCGROUPS_TARGET_TRIPLE aarch64-linux-gnu)
set(PROCGROUPS_QEMU_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
