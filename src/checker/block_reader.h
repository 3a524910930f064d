// Reading one file in blocks.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "checker/hashfile_checker.h"
#include "hash/hash.h"

namespace HashFileChecker {

// A file that is there but is not a regular file, where only regular files
// are read: nothing was read from it.
class NotRegularFile : public FileIOException {
public:
    NotRegularFile(char const* fileName, mode_t type);
    mode_t Type;  // its S_IFMT bits
};

// One file read in blocks of kReadBlock bytes. Its size is measured on opening
// and exactly that many bytes are read; a file that ends early, and anything
// but a regular file or a device that can be measured, is a "File read error".
// Opening never blocks (FIFOs fail at the seek).
class BlockReader {
public:
    explicit BlockReader(char const* fileName) : BlockReader(-1, fileName, false) {}
    // rootFd not -1: the name is opened as if that directory were "/".
    // regularOnly: anything but a regular file throws NotRegularFile unread.
    BlockReader(int rootFd, char const* fileName, bool regularOnly);
    ~BlockReader();
    BlockReader(BlockReader const&) = delete;
    BlockReader& operator=(BlockReader const&) = delete;

    // The size measured on opening.
    std::uint64_t Size() const { return size_; }
    // Reads the next block (at most kBlockSize bytes) into `into`; its size,
    // 0 at the end of the file.
    std::size_t ReadBlock(unsigned char* into);

    static constexpr std::size_t kBlockSize = kReadBlock;

private:
    std::string name_;
    int fd_;
    std::uint64_t size_;
    std::uint64_t remaining_;
};

// Feeds all of a file to a calculator, throwing its failure.
void GetFileHash(char const* fileName, IHash_Calc& calc);

}  // namespace HashFileChecker
