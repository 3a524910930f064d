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

    // Reads the next block (at most kBlockSize bytes) into `into`; its size,
    // 0 at the end of the file.
    std::size_t Next(unsigned char* into);

    static constexpr std::size_t kBlockSize = 65536;

private:
    std::string name_;
    int fd_;
    std::uint64_t remaining_;
};

// A file to hash and what came of it.
struct HashJob {
    std::size_t index = 0;                    // the caller's number for it
    std::string fileName;
    std::unique_ptr<IHashFactory> factory;    // when the caller wants one kept
    std::unique_ptr<IHash_Calc> calc;
    std::exception_ptr failure;               // what opening or reading it threw
    std::uint32_t errCode = 0;                // its error number, if a file error
};

// Hashes files in `lanes` lanes (1 or 2), each holding one job at a time:
// next(job) loads the next job into a lane (false: there is none; a job
// that arrives with a failure is done at once). The bytes both lanes have
// go through both calculators at once (two GOST R 34.11-2012 messages share
// a core), the rest alone. done(job) follows as soon as a job's file is read
// whole or has failed, the failure kept in the job, and the lane takes the
// next job. Before each block wanted(job) is asked: false drops that job
// without done. The callbacks must not throw.
void HashFiles(std::size_t lanes, std::function<bool(HashJob&)> const& next,
               std::function<bool(HashJob const&)> const& wanted,
               std::function<void(HashJob&)> const& done, ProgressListener* progress);

// Hashes one file, throwing its failure.
void GetFileHash(char const* fileName, std::unique_ptr<IHash_Calc>& calc);

}  // namespace HashFileChecker
