// The system calls that file reading goes through. They live in a unit of
// their own, so that a test can link its own versions in their place.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace HashFileChecker {
namespace file_access {

int open(char const* path, int flags);
// open of path as if the directory rootFd were "/".
int openInRoot(int rootFd, char const* path, int flags);
int fstat(int fd, struct stat* st);
off_t lseek(int fd, off_t offset, int whence);
ssize_t read(int fd, void* buf, std::size_t count);
int close(int fd);

}  // namespace file_access
}  // namespace HashFileChecker
