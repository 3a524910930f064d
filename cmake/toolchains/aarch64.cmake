# 64-bit Arm, little-endian: g++-aarch64-linux-gnu and qemu-user. See debian-cross.cmake.
set(ICV_CROSS_PROCESSOR aarch64)
set(ICV_CROSS_TRIPLET aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
