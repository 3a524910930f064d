// The threads of a run: work on many indices at once, results reported one at
// a time in index order, the earliest index that ends the run winning.
#pragma once

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
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

// Hands a call of work its index and the further ones it takes.
class IndexCursor {
public:
    std::size_t First() const { return first_; }
    // Gives the cursor's own index first, then takes the lowest index not yet
    // taken, if it is still wanted.
    bool Take(std::size_t& i) {
        if (!given_) return given_ = true, i = first_, true;
        i = state_.next.fetch_add(1);
        return i < state_.done.size() && Wanted(i);
    }
    // False once an index below i ended the run: its result is not wanted.
    bool Wanted(std::size_t i) const { return i < end_.load(std::memory_order_relaxed); }
    // Index i, its own or one it took, is finished (in any order; again: no effect);
    // endsRun: no index above it is wanted. Reports what can be reported now.
    void Done(std::size_t i, bool endsRun) {
        std::lock_guard<std::mutex> lock(state_.reporting);
        if (state_.done[i]) return;
        if (endsRun) ShortenTo(i + 1);
        state_.done[i] = 1;
        for (; state_.reported < end_.load() && state_.done[state_.reported]; ++state_.reported) {
            try {
                if (state_.report(state_.reported)) ShortenTo(state_.reported + 1);
            } catch (...) {
                state_.failure = std::current_exception();
                ShortenTo(state_.reported);
            }
        }
    }

private:
    template <class Work>
    friend void RunInIndexOrder(std::size_t, unsigned, Work const&,
                                std::function<bool(std::size_t)> const&);
    struct State {
        std::function<bool(std::size_t)> const& report;
        std::vector<char> done;
        std::atomic<std::size_t> next;
        std::size_t reported;
        std::exception_ptr failure;
        std::mutex reporting;
    };
    IndexCursor(State& state, std::atomic<std::size_t>& end, std::size_t first)
        : state_(state), end_(end), first_(first), given_(false) {}
    void ShortenTo(std::size_t e) {
        for (std::size_t cur = end_.load(); e < cur && !end_.compare_exchange_weak(cur, e);) {
        }
    }

    State& state_;
    std::atomic<std::size_t>& end_;
    std::size_t first_;
    bool given_;
};

// Runs work(cursor) for indices below n on up to `threads` threads (at least
// one: the caller's), each taking the lowest index not yet taken, and
// report(i) in index order as soon as every index up to i is done, one at a
// time. Work takes its index and may take further ones as it goes; it marks
// each one Done (in any order) unless it is no longer wanted, and its first
// index is done when it returns.
//
// An index ends the run when work says so in Done or report returns true
// for it: no index above the lowest such one is reported or started, and
// work going on above it sees Wanted turn false. An exception from report
// ends the run at that index, one from work (no memory) before its first
// index; it is rethrown once every thread has stopped. Threads that cannot
// be started (no resources, no memory) leave fewer threads doing the same
// work.
template <class Work>
void RunInIndexOrder(std::size_t n, unsigned threads, Work const& work,
                     std::function<bool(std::size_t)> const& report) {
    IndexCursor::State state{report, std::vector<char>(n, 0), {0}, 0, nullptr, {}};
    std::atomic<std::size_t> end{n};
    auto worker = [&] {
        for (std::size_t i; (i = state.next.fetch_add(1)) < n && i < end.load();) {
            IndexCursor cursor(state, end, i);
            try {
                work(cursor);
            } catch (...) {
                std::lock_guard<std::mutex> lock(state.reporting);
                if (!state.failure) state.failure = std::current_exception();
                cursor.ShortenTo(i);
            }
            cursor.Done(i, false);
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
        std::size_t const threadCount = std::min<std::size_t>(std::max(threads, 1u), n);
        helpers.threads.reserve(threadCount);
        for (std::size_t t = 1; t < threadCount; ++t) helpers.threads.emplace_back(worker);
    } catch (...) {
        // fewer threads, same result
    }
    worker();
    for (auto& t : helpers.threads) t.join();
    helpers.threads.clear();
    if (state.failure) std::rethrow_exception(state.failure);
}

}  // namespace HashFileChecker
