// The system calls that the tools' output goes through. They live in a unit
// of their own, so that a test can link its own versions in their place.
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace frontend {
namespace output_calls {

int fstat(int fd, struct stat* st);
int getfl(int fd);                                        // fcntl(fd, F_GETFL)
off_t tell(int fd);                                       // lseek(fd, 0, SEEK_CUR)
int reserve(int fd, off_t offset, off_t size);           // fallocate, keeping the file size
ssize_t write(int fd, void const* data, std::size_t size);
int ftruncate(int fd, off_t size);
rlim_t sizeLimit();                                      // RLIMIT_FSIZE

}  // namespace output_calls
}  // namespace frontend
