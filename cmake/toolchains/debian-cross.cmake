# Cross builds with Debian's cross compilers (g++-<triplet>), the tests run by
# qemu-user. Included by the toolchain file of each processor, which sets
# ICV_CROSS_PROCESSOR and ICV_CROSS_TRIPLET first:
#   cmake -S . -B build-s390x --toolchain cmake/toolchains/s390x.cmake -DICV_BUILD_BENCH=OFF
# Programs are linked statically, so that the emulator runs them (tests and the
# tools the tests start) without the target's dynamic loader and libraries.
# GoogleTest is built for the target from the sources libgtest-dev ships
# (cmake/GTestFromSource.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${ICV_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${ICV_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ICV_CROSS_TRIPLET}-g++)

# Libraries, headers and packages of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ICV_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# Runs the test programs, test discovery included; tests/cli_util.h runs the
# tools through it as well (ICV_TOOL_LAUNCHER).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-${ICV_CROSS_PROCESSOR})
