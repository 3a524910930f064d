# IBM Z, 64-bit, big-endian: g++-s390x-linux-gnu and qemu-user. See debian-cross.cmake.
set(ICV_CROSS_PROCESSOR s390x)
set(ICV_CROSS_TRIPLET s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
