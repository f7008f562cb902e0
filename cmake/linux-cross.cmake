# Shared by the toolchain files of the other Linux architectures: Debian's
# cross compiler for PROCGROUPS_TARGET_TRIPLE, every executable static (the tool
# is anyway), and target programs run under qemu's user-mode emulation, which
# needs no target libraries for a static program.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${PROCGROUPS_TARGET_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${PROCGROUPS_TARGET_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${PROCGROUPS_TARGET_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(PROCGROUPS_QEMU qemu-${PROCGROUPS_QEMU_ARCH}-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROCGROUPS_QEMU})
