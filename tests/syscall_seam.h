// The system calls file reading goes through, replaceable in tests: the test
// that builds the checker with ICV_SYSCALL_SEAM defines these.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace syscall_seam {

int open(char const* path, int flags);
ssize_t read(int fd, void* buf, std::size_t count);
off_t lseek(int fd, off_t offset, int whence);
int close(int fd);

}  // namespace syscall_seam
