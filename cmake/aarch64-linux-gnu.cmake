# Cross build for the board (64-bit Arm, Debian multiarch): the compiler and the arm64 Qt come from
# Debian's packages, so no sysroot is needed; the arm64 libraries and their CMake files live under
# /usr/lib/aarch64-linux-gnu beside the host's. The Qt CMake files point at the host's moc, uic and rcc.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")

# Tests run under user-mode emulation. Plain qemu-aarch64-static finds the arm64 loader and libraries
# where multiarch installs them; with -L /usr/aarch64-linux-gnu every program hangs in its first
# pthread_create.
find_program(QEMU_AARCH64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_AARCH64})
