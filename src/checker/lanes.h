// The lanes of one worker: files read one after another, the bytes of two of
// them hashed side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "checker/hashfile_checker.h"
#include "hash/hash.h"

namespace HashFileChecker {

// A file to hash and what came of it.
struct HashJob {
    std::size_t index = 0;                    // the run's number for it
    std::string fileName;
    std::unique_ptr<IHashFactory> factory;    // when the run wants one kept
    std::unique_ptr<IHash_Calc> calc;
    std::exception_ptr failure;               // what preparing, opening or reading it threw
    std::uint32_t errCode = 0;                // its error number, if a file error
};

// Hashes files in `lanes` lanes (1 or 2), each holding one job at a time:
// load(job) puts the next job into a lane (false: there is none; a job that
// arrives with a failure is done at once). While both lanes have bytes they
// go through both calculators together where the calculators pair, the rest
// alone. done(job) follows as soon as a job's file is read whole or has
// failed, the failure kept in the job, and the lane takes the next job.
// Before each block wanted(job) is asked: false drops that job without done.
void HashInLanes(std::size_t lanes, std::function<bool(HashJob&)> const& load,
                 std::function<bool(HashJob const&)> const& wanted,
                 std::function<void(HashJob&)> const& done, ProgressListener* progress);

}  // namespace HashFileChecker
