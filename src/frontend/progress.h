// A one-line progress display for long runs at a terminal, on standard error:
//   " 42% of 1.2 GB, 610 MB/s, 0:05 left, 1234 of 4000 files"
// redrawn in place after the first second and erased before the run writes a
// line or reports a failure. The total is an estimate: the bytes of the files
// opened so far plus their mean size for each file not yet opened, so one
// large file moves the percent as soon as it is opened. Until a file has been
// opened only the bytes, the speed and the files are shown. When standard
// error is not a terminal, nothing is ever shown.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "checker/hashfile_checker.h"

namespace frontend {

// What the display counts while a run goes on.
struct ProgressCounts {
    std::size_t files = 0;         // hashed
    std::size_t total = 0;         // files in all, as far as known
    std::uint64_t bytes = 0;       // hashed
    std::size_t sizedFiles = 0;    // opened, so their size is known
    std::uint64_t sizedBytes = 0;  // the size of those
};

// Room for one line of the display; a longer one is cut.
inline constexpr std::size_t kProgressLineSize = 160;

// The line drawn after `seconds` of the run: a carriage return, the text and
// an erase to the end of the line. Allocates nothing.
void ProgressLine(ProgressCounts const& counts, double seconds, char (&line)[kProgressLineSize]);

class TerminalProgress : public HashFileChecker::ProgressListener {
public:
    // A display on standard error, or null when standard error is not a terminal.
    static std::unique_ptr<TerminalProgress> ForStandardError();

    ~TerminalProgress() override;

    void Started(std::size_t files) override;
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
    void Pause() override;
    void Resume() override;

    void Finished() override;

private:
    using Clock = std::chrono::steady_clock;

    TerminalProgress() = default;

    // Waits a second, then redraws four times a second until stopped.
    void Draw();

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
