// A one-line progress display for long runs at a terminal: files done of
// total, bytes and speed on standard error, redrawn in place after the first
// second and erased before the run writes a line or reports a failure.
// When standard error is not a terminal, nothing is ever shown.
#pragma once

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "checker/hashfile_checker.h"

namespace frontend {

class TerminalProgress : public HashFileChecker::ProgressListener {
public:
    // A display on standard error, or null when standard error is not a terminal.
    static std::unique_ptr<TerminalProgress> ForStandardError() {
        if (!isatty(STDERR_FILENO)) return nullptr;
        return std::unique_ptr<TerminalProgress>(new TerminalProgress());
    }

    ~TerminalProgress() override { Finished(); }

    void Started(std::size_t files) override {
        total_ = files;
        start_ = Clock::now();
        try {
            drawer_ = std::thread([this] { Draw(); });
        } catch (std::system_error const&) {
            // no display then; the run itself goes on
        }
    }
    void BytesHashed(std::uint64_t bytes) override { bytes_ += bytes; }
    void FileHashed() override { ++files_; }

    // A line written at the same terminal: the display steps aside and comes
    // back at its next redraw.
    void Pause() override {
        mutex_.lock();
        if (shown_) Write("\r\033[K");
        shown_ = false;
    }
    void Resume() override { mutex_.unlock(); }

    void Finished() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (drawer_.joinable()) drawer_.join();
        if (shown_) Write("\r\033[K");
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;

    TerminalProgress() = default;

    // Waits a second, then redraws four times a second until stopped.
    void Draw() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) return;
        do {
            double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
            double megabytes = static_cast<double>(bytes_.load()) / 1e6;
            char line[128];
            std::snprintf(line, sizeof line, "\r%zu of %zu files, %.1f MB, %.0f MB/s\033[K",
                          files_.load(), total_, megabytes, megabytes / seconds);
            Write(line);
            shown_ = true;
        } while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; }));
    }

    static void Write(std::string const& text) {
        // A display only: a failed write has nothing to report to.
        ssize_t ignored = write(STDERR_FILENO, text.data(), text.size());
        (void)ignored;
    }

    std::size_t total_ = 0;
    std::atomic<std::size_t> files_{0};
    std::atomic<std::uint64_t> bytes_{0};
    Clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool shown_ = false;
    std::thread drawer_;
};

}  // namespace frontend
