// Reading files into calculators, one at a time or two side by side.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "checker/hashfile_checker.h"
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

    // Reads the next block; its size, 0 at the end of the file.
    std::size_t Next();
    unsigned char const* Data() const { return buffer_.get(); }

private:
    std::string name_;
    int fd_;
    std::uint64_t remaining_;
    std::unique_ptr<unsigned char[]> buffer_;
};

// A file to hash and what came of it.
struct HashJob {
    char const* fileName;
    IHash_Calc* calc;
    std::size_t index;           // the caller's number for it
    std::exception_ptr failure;  // the FileIOException that reading it threw
    std::uint32_t errCode;       // and its error number
};

// Feeds every byte of each job's file (one or two jobs) to its calculator:
// the bytes both still have through both calculators at once (two
// GOST R 34.11-2012 messages share a core), the rest of the longer alone.
// done(job) follows as soon as a job's file is read whole or has failed, the
// failure kept in the job; the other job goes on. Before each block
// wanted(job) is asked: false drops that job without done.
void GetFileHashes(HashJob* jobs, std::size_t count, ProgressListener* progress,
                   std::function<bool(HashJob const&)> const& wanted,
                   std::function<void(HashJob&)> const& done);

// GetFileHashes for one file, throwing its failure.
void GetFileHash(char const* fileName, IHash_Calc& calc);

}  // namespace HashFileChecker
