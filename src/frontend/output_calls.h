// The system calls of the tools' output that tests replace: they live in a
// unit of their own, so that a test can link its own versions in their place.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace frontend {
namespace output_calls {

// fallocate of size bytes at offset, keeping the file's size.
int reserve(int fd, off_t offset, off_t size);
ssize_t write(int fd, void const* data, std::size_t size);

}  // namespace output_calls
}  // namespace frontend
