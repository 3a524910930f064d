#include "frontend/output_calls.h"

#include <fcntl.h>
#include <unistd.h>

namespace frontend {
namespace output_calls {

int reserve(int fd, off_t offset, off_t size) {
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, size);
}
ssize_t write(int fd, void const* data, std::size_t size) {
    return ::write(fd, data, size);
}

}  // namespace output_calls
}  // namespace frontend
