#include "frontend/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <system_error>

namespace frontend {

namespace {

// Room for one amount or one time left; a longer one is cut.
constexpr std::size_t kPartSize = 32;
using Part = char[kPartSize];

// Bytes in decimal units, three significant digits or so: "512 B", "1.2 GB".
char const* Amount(double bytes, Part& text) {
    static char const* const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
    std::size_t unit = 0;
    for (; bytes >= 999.95 && unit + 1 < std::size(kUnits); ++unit) bytes /= 1000;
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

// "m:ss" or "h:mm:ss"; "-:--" while the speed is unknown or the time absurd.
char const* TimeLeft(double seconds, Part& text) {
    if (seconds < 0 || seconds > 1e8) return "-:--";
    auto const s = static_cast<unsigned long>(seconds + 0.5);
    if (s < 3600)
        std::snprintf(text, sizeof text, "%lu:%02lu", s / 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", s / 3600, s / 60 % 60, s % 60);
    return text;
}

void Write(char const* text) {
    // A display only: a failed write has nothing to report to.
    ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

char const kErase[] = "\r\033[K";

}  // namespace

void ProgressLine(ProgressCounts const& counts, double seconds, char (&line)[kProgressLineSize]) {
    std::size_t const files = counts.files, total = std::max(counts.total, files);
    std::size_t const sized = counts.sizedFiles;
    double const done = static_cast<double>(counts.bytes);
    double const rate = seconds > 0 ? done / seconds : 0;
    Part doneText, rateText, estimateText, leftText;
    if (sized == 0) {
        std::snprintf(line, sizeof line, "\r%s, %s/s, %zu of %zu files\033[K", Amount(done, doneText),
                      Amount(rate, rateText), files, total);
        return;
    }
    double const sizedBytes = static_cast<double>(counts.sizedBytes);
    double const unsized = static_cast<double>(total > sized ? total - sized : 0);
    double const estimate = std::max(done, sizedBytes + sizedBytes / sized * unsized);
    int const percent = estimate > 0 ? static_cast<int>(100 * done / estimate) : 100;
    std::snprintf(line, sizeof line, "\r%3d%% of %s, %s/s, %s left, %zu of %zu files\033[K", percent,
                  Amount(estimate, estimateText), Amount(rate, rateText),
                  TimeLeft(rate > 0 ? (estimate - done) / rate : -1, leftText), files, total);
}

std::unique_ptr<TerminalProgress> TerminalProgress::ForStandardError() {
    if (!isatty(STDERR_FILENO)) return nullptr;
    return std::unique_ptr<TerminalProgress>(new TerminalProgress());
}

TerminalProgress::~TerminalProgress() { Finished(); }

void TerminalProgress::Started(std::size_t files) {
    total_ += files;
    start_ = Clock::now();
    try {
        drawer_ = std::thread([this] { Draw(); });
    } catch (std::system_error const&) {
        // no display then; the run itself goes on
    }
}

void TerminalProgress::Pause() {
    mutex_.lock();
    if (shown_) Write(kErase);
    shown_ = false;
}

void TerminalProgress::Resume() { mutex_.unlock(); }

void TerminalProgress::Finished() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (drawer_.joinable()) drawer_.join();
    if (shown_) Write(kErase);
    shown_ = false;
}

void TerminalProgress::Draw() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) return;
    char line[kProgressLineSize];
    do {
        ProgressLine({files_, total_, bytes_, sizedFiles_, sizedBytes_},
                     std::chrono::duration<double>(Clock::now() - start_).count(), line);
        Write(line);
        shown_ = true;
    } while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; }));
}

}  // namespace frontend
