// Writing a tool's whole result to its output: in large blocks, and into a
// regular file complete or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>

namespace frontend {

// "Write error on standard output: " and the text of err.
std::runtime_error OutputError(int err);

// Hands each block of a result to the sink, in order.
using Sink = std::function<void(char const* data, std::size_t size)>;
using Producer = std::function<void(Sink const& sink)>;

// Writes the size bytes that produce gives to fd; every signal but SIGKILL and
// SIGSTOP is held until the last byte is written or taken back, and acts then.
// Into a regular file the text goes at the file offset, or after the old
// content when fd appends; space is reserved first without changing the
// file's size, so that a full disk or a file-size limit fails before the
// first byte; and a failed write takes every byte of ours back out. To
// anything else the blocks are simply written. Throws OutputError. Call it
// with no other thread running.
void WriteWholeOutput(int fd, std::uint64_t size, Producer const& produce);

}  // namespace frontend
