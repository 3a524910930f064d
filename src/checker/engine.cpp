#include "checker/engine.h"

#include "checker/parallel_runner.h"

namespace HashFileChecker {

void HashInIndexOrder(std::size_t n, FileRun& run, bool oneAtATime, ProgressListener* progress) {
    unsigned const cores = oneAtATime ? 1 : AvailableCores();
    std::size_t const lanes = n > cores && !oneAtATime ? 2 : 1;
    auto work = [&](IndexCursor& cursor) {
        auto conclude = [&](HashJob& job) {
            bool const ends = run.Conclude(job);
            if (progress) progress->FileHashed();
            cursor.Done(job.index, ends);
        };
        auto load = [&](HashJob& job) {
            for (std::size_t i; cursor.Take(i);) {
                job = HashJob();
                job.index = i;
                bool read = true;
                try {
                    read = run.Prepare(job);
                } catch (...) {
                    job.failure = std::current_exception();
                }
                if (read) return true;
                conclude(job);
            }
            return false;
        };
        HashInLanes(
            lanes, load, [&](HashJob const& job) { return cursor.Wanted(job.index); }, conclude,
            progress);
    };
    RunInIndexOrder(n, cores, work, [&](std::size_t i) { return run.Report(i); });
}

}  // namespace HashFileChecker
