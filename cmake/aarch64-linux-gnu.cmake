# Cross-compiles for 64-bit ARM Linux with Debian's cross toolchain
# (g++-aarch64-linux-gnu) and runs what it builds, tests included, under
# qemu-user: `cmake --workflow --preset aarch64`.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(aarch64_root /usr/aarch64-linux-gnu)  # the cross packages' C and C++ libraries
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Libraries and headers come from the cross root only; programs such as the
# emulator from the build machine.
set(CMAKE_FIND_ROOT_PATH ${aarch64_root})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and test discovery start every built program through the emulator;
# -L makes it load the dynamic linker and libraries from the cross root.
find_program(QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_AARCH64} -L ${aarch64_root})
