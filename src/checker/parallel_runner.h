// The threads of a run: work on many indices at once, results reported one at
// a time in index order, the earliest index that ends the run winning.
#pragma once

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace HashFileChecker {

// The processors this process may run on.
inline unsigned AvailableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

// Tells work on index i whether its result is still wanted.
class StillWanted {
public:
    StillWanted(std::atomic<std::size_t> const& end, std::size_t index)
        : end_(end), index_(index) {}
    bool operator()() const { return index_ < end_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::size_t> const& end_;
    std::size_t index_;
};

// Runs work(i, stillWanted) for every i below n on up to `threads` threads
// (at least one: the caller's), each taking the lowest index not yet taken,
// and report(i) in index order as soon as work on every index up to i is
// done, one report at a time.
//
// An index ends the run when work returns true for it or report returns true
// for it: no index above the lowest such one is reported or started, and work
// already going on above it sees stillWanted() turn false. An exception from
// report ends the run at that index and is rethrown once every thread has
// stopped. work must not throw. Threads that cannot be started (no resources,
// no memory) leave fewer threads doing the same work.
template <class Work, class Report>
void RunInIndexOrder(std::size_t n, unsigned threads, Work const& work, Report const& report) {
    std::atomic<std::size_t> next{0}, end{n};
    std::vector<char> done(n, 0);
    std::size_t reported = 0;
    std::exception_ptr failure;
    std::mutex reporting;

    auto shortenTo = [&](std::size_t e) {
        for (std::size_t cur = end.load(); e < cur && !end.compare_exchange_weak(cur, e);) {
        }
    };
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < end.load();) {
            if (work(i, StillWanted(end, i))) shortenTo(i + 1);
            std::lock_guard<std::mutex> lock(reporting);
            done[i] = 1;
            for (; reported < end.load() && done[reported]; ++reported) {
                try {
                    if (report(reported)) shortenTo(reported + 1);
                } catch (...) {
                    failure = std::current_exception();
                    shortenTo(reported);
                }
            }
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
        std::size_t const extra = std::min<std::size_t>(std::max(threads, 1u), n) - (n != 0);
        helpers.threads.reserve(extra);
        for (std::size_t t = 0; t < extra; ++t) helpers.threads.emplace_back(worker);
    } catch (...) {
        // fewer threads, same result
    }
    worker();
    for (auto& t : helpers.threads) t.join();
    helpers.threads.clear();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace HashFileChecker
