// Writing a tool's whole result to standard output at once: in large blocks,
// and into a regular file complete or not at all.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

namespace frontend {

inline std::runtime_error OutputError(int err) {
    return std::runtime_error(std::string("Write error on standard output: ") +
                              std::strerror(err));
}

// Writes all of text to fd in blocks of up to 1 MiB; throws on the first failure.
inline void WriteAll(int fd, std::string const& text) {
    constexpr std::size_t kBlock = 1 << 20;
    for (std::size_t done = 0; done < text.size();) {
        std::size_t const want = std::min(kBlock, text.size() - done);
        ssize_t const n = write(fd, text.data() + done, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw OutputError(n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
}

// Holds SIGINT, SIGTERM and SIGHUP while it lives; one that came meanwhile
// acts when it ends.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~HeldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    HeldSignals(HeldSignals const&) = delete;
    HeldSignals& operator=(HeldSignals const&) = delete;

private:
    sigset_t old_;
};

// Writes text to standard output. Into a regular file the whole text is
// reserved first (a full disk or a file-size limit fails before the first
// byte), written with the terminating signals held, and taken back out of
// the file if a write still fails. To anything else it is simply written.
inline void WriteWholeOutput(std::string const& text) {
    int const fd = STDOUT_FILENO;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return WriteAll(fd, text);

    int const flags = fcntl(fd, F_GETFL);
    off_t const start = flags >= 0 && (flags & O_APPEND) ? st.st_size : lseek(fd, 0, SEEK_CUR);
    if (start < 0) return WriteAll(fd, text);
    off_t const restored = start > st.st_size ? start : st.st_size;
    if (!text.empty()) {
        int const err = posix_fallocate(fd, start, static_cast<off_t>(text.size()));
        // A filesystem that cannot reserve space still gets the text.
        if (err != 0 && err != EOPNOTSUPP && err != ENOSYS && err != EINVAL) {
            struct stat now;
            if (fstat(fd, &now) == 0 && now.st_size > st.st_size && ftruncate(fd, st.st_size) != 0) {
                // the error below is what the user needs to know
            }
            throw OutputError(err);
        }
    }
    HeldSignals held;
    try {
        WriteAll(fd, text);
    } catch (...) {
        if (ftruncate(fd, restored) != 0) {
            // the write error is what the user needs to know
        }
        throw;
    }
}

}  // namespace frontend
