// Reading one file in blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hash/hash.h"

namespace HashFileChecker {

// One file read in 64 KiB blocks. Its size is measured on opening and exactly
// that many bytes are read; a file that ends early, and anything but a
// regular file or a device that can be measured, is a "File read error".
// Opening never blocks (FIFOs fail at the seek).
class BlockReader {
public:
    explicit BlockReader(char const* fileName);
    ~BlockReader();
    BlockReader(BlockReader const&) = delete;
    BlockReader& operator=(BlockReader const&) = delete;

    // The size measured on opening.
    std::uint64_t Size() const { return size_; }
    // Reads the next block (at most kBlockSize bytes) into `into`; its size,
    // 0 at the end of the file.
    std::size_t ReadBlock(unsigned char* into);

    static constexpr std::size_t kBlockSize = 65536;

private:
    std::string name_;
    int fd_;
    std::uint64_t size_;
    std::uint64_t remaining_;
};

// Feeds all of a file to a calculator, throwing its failure.
void GetFileHash(char const* fileName, IHash_Calc& calc);

}  // namespace HashFileChecker
