// A one-line progress display for long runs at a terminal, on standard error:
//   " 42% of 1.2 GB, 610 MB/s, 0:05 left, 1234 of 4000 files"
// redrawn in place after the first second and erased before the run writes a
// line or reports a failure. The total is an estimate: the bytes of the files
// opened so far plus their mean size for each file not yet opened, so one
// large file moves the percent as soon as it is opened. Until a file has been
// opened only the bytes, the speed and the files are shown. When standard
// error is not a terminal, nothing is ever shown.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <iterator>
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
        total_ += files;
        start_ = Clock::now();
        try {
            drawer_ = std::thread([this] { Draw(); });
        } catch (std::system_error const&) {
            // no display then; the run itself goes on
        }
    }
    // Files that became known after the start (a list read as it is checked).
    void AddFiles(std::size_t files) { total_ += files; }
    void FileSized(std::uint64_t bytes) override {
        sizedBytes_ += bytes;
        ++sizedFiles_;
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
            Write(Line(std::chrono::duration<double>(Clock::now() - start_).count()));
            shown_ = true;
        } while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; }));
    }

    std::string Line(double seconds) const {
        std::size_t const files = files_, total = std::max<std::size_t>(total_, files);
        std::size_t const sized = sizedFiles_;
        double const done = static_cast<double>(bytes_.load());
        double const rate = seconds > 0 ? done / seconds : 0;
        char line[160];
        if (sized == 0) {
            std::snprintf(line, sizeof line, "\r%s, %s/s, %zu of %zu files\033[K",
                          Amount(done).c_str(), Amount(rate).c_str(), files, total);
            return line;
        }
        double const sizedBytes = static_cast<double>(sizedBytes_.load());
        double const unsized = static_cast<double>(total > sized ? total - sized : 0);
        double const estimate = std::max(done, sizedBytes + sizedBytes / sized * unsized);
        int const percent = estimate > 0 ? static_cast<int>(100 * done / estimate) : 100;
        std::snprintf(line, sizeof line, "\r%3d%% of %s, %s/s, %s left, %zu of %zu files\033[K",
                      percent, Amount(estimate).c_str(), Amount(rate).c_str(),
                      TimeLeft(rate > 0 ? (estimate - done) / rate : -1).c_str(), files, total);
        return line;
    }

    // Bytes in decimal units, three significant digits or so: "512 B", "1.2 GB".
    static std::string Amount(double bytes) {
        static char const* const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
        std::size_t unit = 0;
        for (; bytes >= 999.95 && unit + 1 < std::size(kUnits); ++unit) bytes /= 1000;
        char text[32];
        std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
        return text;
    }

    // "m:ss" or "h:mm:ss"; "-:--" before the speed is known.
    static std::string TimeLeft(double seconds) {
        if (seconds < 0 || seconds > 1e8) return "-:--";
        auto const s = static_cast<unsigned long>(seconds + 0.5);
        char text[32];
        if (s < 3600)
            std::snprintf(text, sizeof text, "%lu:%02lu", s / 60, s % 60);
        else
            std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", s / 3600, s / 60 % 60, s % 60);
        return text;
    }

    static void Write(std::string const& text) {
        // A display only: a failed write has nothing to report to.
        ssize_t ignored = write(STDERR_FILENO, text.data(), text.size());
        (void)ignored;
    }

    std::atomic<std::size_t> total_{0};
    std::atomic<std::size_t> files_{0};
    std::atomic<std::uint64_t> bytes_{0};
    std::atomic<std::size_t> sizedFiles_{0};
    std::atomic<std::uint64_t> sizedBytes_{0};
    Clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool shown_ = false;
    std::thread drawer_;
};

}  // namespace frontend
