// The engine of every run: the files of N indices hashed on every core, their
// outcomes reported one at a time in index order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "checker/hashfile_checker.h"
#include "hash/hash.h"

namespace HashFileChecker {

// The processors this process may run on.
unsigned AvailableCores();

// A file to hash and what came of it.
struct HashJob {
    std::size_t index = 0;                    // the run's number for it
    std::string fileName;
    int rootFd = -1;                          // not -1: fileName is opened as if it were "/"
    bool regularOnly = false;                 // anything but a regular file fails unread
    std::unique_ptr<IHashFactory> factory;    // when the run wants one kept
    std::unique_ptr<IHash_Calc> calc;
    std::exception_ptr failure;               // what preparing, opening or reading it threw
    std::uint32_t errCode = 0;                // its error number, if a file error
};

// What a run hashes and what becomes of each result: the one interface a run
// implements.
class FileRun {
public:
    virtual ~FileRun() = default;
    // Makes job `job.index` ready to read (its file name and calculator), on
    // any thread; false when it has no file to read. What it throws is kept as
    // the job's failure.
    virtual bool Prepare(HashJob& job) = 0;
    // The job's file was read whole or failed (its failure in the job), or it
    // had none to read; on any thread. True when no later index is wanted.
    virtual bool Conclude(HashJob& job) = 0;
    // Index i's outcome, in index order, one at a time; true when the run
    // ends there.
    virtual bool Report(std::size_t i) = 0;
};

// Hashes the run's n files on every core, two at a time per core while there
// are more files than cores, their bytes side by side where the calculators
// pair. oneAtATime: one file after another, so that no file after the index
// that ends the run is opened. No index above the lowest that ends the run is
// reported, and the files after it stop being read within one block. An
// exception from Report ends the run at that index and is rethrown once every
// thread has stopped. Threads that cannot be started or cannot get their
// buffers leave fewer threads doing the same work; only when none could is
// that failure thrown.
void HashInIndexOrder(std::size_t n, FileRun& run, bool oneAtATime, ProgressListener* progress);

}  // namespace HashFileChecker
