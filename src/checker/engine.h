// The engine of both runs: N files hashed on every core, their outcomes
// reported in index order.
#pragma once

#include <cstddef>

#include "checker/hashfile_checker.h"
#include "checker/lanes.h"

namespace HashFileChecker {

// What a run hashes and what becomes of each result.
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

// Hashes the run's n files on every core, two lanes per core while there are
// more files than cores. oneAtATime: one file after another, so that no file
// after the index that ends the run is opened. No index above the lowest
// that ends the run is reported, and the files after it stop being read. An
// exception from Report ends the run at that index and is rethrown.
void HashInIndexOrder(std::size_t n, FileRun& run, bool oneAtATime, ProgressListener* progress);

}  // namespace HashFileChecker
