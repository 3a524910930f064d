#include "frontend/output_calls.h"

#include <fcntl.h>
#include <unistd.h>

namespace frontend {
namespace output_calls {

int fstat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}
int getfl(int fd) {
    return ::fcntl(fd, F_GETFL);
}
off_t tell(int fd) {
    return ::lseek(fd, 0, SEEK_CUR);
}
int reserve(int fd, off_t offset, off_t size) {
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, size);
}
ssize_t write(int fd, void const* data, std::size_t size) {
    return ::write(fd, data, size);
}
int ftruncate(int fd, off_t size) {
    return ::ftruncate(fd, size);
}
rlim_t sizeLimit() {
    struct rlimit limit;
    return getrlimit(RLIMIT_FSIZE, &limit) == 0 ? limit.rlim_cur : RLIM_INFINITY;
}

}  // namespace output_calls
}  // namespace frontend
