#include "checker/file_access.h"

#include <fcntl.h>
#include <unistd.h>

#include "checker/rooted_open.h"

namespace HashFileChecker {
namespace file_access {

int open(char const* path, int flags) {
    return ::open(path, flags);
}
int openInRoot(int rootFd, char const* path, int flags) {
    return OpenInRoot(rootFd, path, flags);
}
int fstat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}
off_t lseek(int fd, off_t offset, int whence) {
    return ::lseek(fd, offset, whence);
}
ssize_t read(int fd, void* buf, std::size_t count) {
    return ::read(fd, buf, count);
}
int close(int fd) {
    return ::close(fd);
}

}  // namespace file_access
}  // namespace HashFileChecker
