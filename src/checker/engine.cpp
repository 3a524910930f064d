// The engine, in the order a file goes through it: a thread takes the lowest
// index not yet taken, the run prepares it, a lane reads its file block by
// block into its calculator (two lanes side by side), the run concludes it,
// and once every index below it is done its outcome is reported.
#include "checker/engine.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "checker/block_reader.h"

namespace HashFileChecker {

unsigned AvailableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

namespace {

// What the threads of a run share: the next index to take, which are done,
// how far reporting got and where the run ends.
class Order {
public:
    Order(std::size_t n, FileRun& run) : run_(run), done_(n, 0), end_(n) {}

    // The lowest index not yet taken, while it is still wanted.
    bool Take(std::size_t& i) {
        i = next_.fetch_add(1);
        return i < done_.size() && Wanted(i);
    }
    // False once an index below i ended the run.
    bool Wanted(std::size_t i) const { return i < end_.load(std::memory_order_relaxed); }

    // Index i is finished; endsRun: no index above it is wanted. Reports, one
    // thread at a time, every index that every index below it lets through.
    void Done(std::size_t i, bool endsRun) {
        std::lock_guard<std::mutex> lock(reporting_);
        if (endsRun) ShortenTo(i + 1);
        done_[i] = 1;
        for (; reported_ < end_.load() && done_[reported_]; ++reported_) {
            try {
                if (run_.Report(reported_)) ShortenTo(reported_ + 1);
            } catch (...) {
                reportFailure_ = std::current_exception();
                ShortenTo(reported_);
            }
        }
    }

    // A thread that could not work: its failure counts only if no thread could.
    void ThreadFailed(std::exception_ptr failure) {
        std::lock_guard<std::mutex> lock(reporting_);
        if (!threadFailure_) threadFailure_ = failure;
    }

    // Once every thread has stopped: what ended the run, if anything did.
    void RethrowFailure() const {
        if (reportFailure_) std::rethrow_exception(reportFailure_);
        if (reported_ < end_.load()) std::rethrow_exception(threadFailure_);
    }

private:
    void ShortenTo(std::size_t e) {
        for (std::size_t cur = end_.load(); e < cur && !end_.compare_exchange_weak(cur, e);) {
        }
    }

    FileRun& run_;
    std::vector<char> done_;
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> end_;
    std::size_t reported_ = 0;
    std::exception_ptr reportFailure_, threadFailure_;
    std::mutex reporting_;
};

// A lane: its job, its file, its block buffer (one for all its files), and
// the bytes of the block read last that its calculator has not had yet.
struct Lane {
    HashJob job;
    std::unique_ptr<BlockReader> reader;
    std::unique_ptr<unsigned char[]> buffer;
    unsigned char const* data = nullptr;
    std::size_t left = 0;
};

// Keeps a failure of the job's file in the job.
template <class Step>
bool Kept(HashJob& job, Step const& step) {
    try {
        step();
        return true;
    } catch (FileIOException const& e) {
        job.errCode = e.ErrCode;
        job.failure = std::current_exception();
    } catch (...) {
        job.failure = std::current_exception();
    }
    return false;
}

// One thread's work: jobs taken one after another into its lanes, their bytes
// hashed, each concluded as soon as its file is read whole or has failed.
class Worker {
public:
    Worker(Order& order, FileRun& run, std::size_t lanes, ProgressListener* progress)
        : order_(order), run_(run), lanes_(lanes), progress_(progress) {
        for (std::size_t k = 0; k < lanes_; ++k)
            lane_[k].buffer.reset(new unsigned char[BlockReader::kBlockSize]);
    }

    void Run() {
        bool busy[2] = {Refill(lane_[0]), lanes_ > 1 && Refill(lane_[1])};
        while (busy[0] || busy[1]) {
            // Side by side as far as both lanes have bytes and their calculators
            // pair, the rest alone.
            bool const paired = busy[0] && busy[1] && lane_[0].job.calc->PairsWith(*lane_[1].job.calc);
            std::size_t const both = paired ? std::min(lane_[0].left, lane_[1].left) : 0;
            if (paired)
                lane_[0].job.calc->UpdatePair(*lane_[1].job.calc, lane_[0].data, lane_[1].data, both);
            for (std::size_t k = 0; k < 2; ++k) {
                if (!busy[k]) continue;
                std::size_t const n = paired ? both : lane_[k].left;
                if (!paired) lane_[k].job.calc->Update(lane_[k].data, n);
                lane_[k].data += n;
                if ((lane_[k].left -= n) == 0) busy[k] = Refill(lane_[k]);
            }
        }
    }

private:
    // The next index that has a file to read, prepared; those without one are
    // concluded at once. False when no index is left.
    bool Take(HashJob& job) {
        for (std::size_t i; order_.Take(i);) {
            job = HashJob();
            job.index = i;
            bool read = true;
            try {
                read = run_.Prepare(job);
            } catch (...) {
                job.failure = std::current_exception();
            }
            if (read && !job.failure) return true;
            Conclude(job);
        }
        return false;
    }

    void Conclude(HashJob& job) {
        bool const ends = run_.Conclude(job);
        if (progress_) progress_->FileHashed();
        order_.Done(job.index, ends);
    }

    // Gives the lane bytes to hash: the next block of its file, else the first
    // of the next job that has one; false when no job is left. Before each
    // block, a job no longer wanted is dropped unconcluded.
    bool Refill(Lane& lane) {
        for (;;) {
            if (lane.reader && !order_.Wanted(lane.job.index)) lane.reader.reset();
            if (!lane.reader) {
                if (!Take(lane.job)) return false;
                HashJob& job = lane.job;
                if (!Kept(job, [&] {
                        lane.reader.reset(new BlockReader(job.rootFd, job.fileName.c_str(), job.regularOnly));
                    })) {
                    Conclude(job);
                    continue;
                }
                if (progress_) progress_->FileSized(lane.reader->Size());
            }
            if (Kept(lane.job, [&] { lane.left = lane.reader->ReadBlock(lane.buffer.get()); }) &&
                lane.left != 0) {
                lane.data = lane.buffer.get();
                if (progress_) progress_->BytesHashed(lane.left);
                return true;
            }
            lane.reader.reset();
            Conclude(lane.job);  // read whole, or failed
        }
    }

    Order& order_;
    FileRun& run_;
    std::size_t lanes_;
    ProgressListener* progress_;
    Lane lane_[2];
};

}  // namespace

void HashInIndexOrder(std::size_t n, FileRun& run, bool oneAtATime, ProgressListener* progress) {
    unsigned const cores = oneAtATime ? 1 : AvailableCores();
    std::size_t const lanes = n > cores && !oneAtATime ? 2 : 1;
    Order order(n, run);
    auto work = [&] {
        try {
            Worker(order, run, lanes, progress).Run();
        } catch (...) {
            order.ThreadFailed(std::current_exception());
        }
    };
    // Joins the helpers however this function is left.
    struct Helpers {
        std::vector<std::thread> threads;
        ~Helpers() {
            for (auto& t : threads) t.join();
        }
    } helpers;
    try {
        std::size_t const threads = std::min<std::size_t>(std::max(cores, 1u), n);
        helpers.threads.reserve(threads);
        for (std::size_t t = 1; t < threads; ++t) helpers.threads.emplace_back(work);
    } catch (...) {
        // fewer threads, same result
    }
    work();
    for (auto& t : helpers.threads) t.join();
    helpers.threads.clear();
    order.RethrowFailure();
}

}  // namespace HashFileChecker
