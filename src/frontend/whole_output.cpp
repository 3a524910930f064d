#include "frontend/whole_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "frontend/output_calls.h"

namespace frontend {

namespace {

// Writes all of a block; throws on the first failure.
void WriteBlock(int fd, char const* data, std::size_t size) {
    while (size > 0) {
        ssize_t const n = output_calls::write(fd, data, size);
        int const err = n < 0 ? errno : EIO;  // before the exception is made
        if (err == EINTR) continue;
        if (n <= 0) throw OutputError(err);
        data += n;
        size -= static_cast<std::size_t>(n);
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
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    HeldSignals(HeldSignals const&) = delete;
    HeldSignals& operator=(HeldSignals const&) = delete;

private:
    sigset_t old_;
};

// A filesystem that cannot reserve space still gets the text.
bool CannotReserve(int err) {
    return err == EOPNOTSUPP || err == ENOSYS || err == EINVAL;
}

}  // namespace

std::runtime_error OutputError(int err) {
    return std::runtime_error(std::string("Write error on standard output: ") +
                              std::strerror(err));
}

void WriteWholeOutput(int fd, std::uint64_t size, Producer const& produce) {
    Sink const simply = [fd](char const* data, std::size_t n) { WriteBlock(fd, data, n); };
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return produce(simply);

    HeldSignals held;
    int const flags = fcntl(fd, F_GETFL);
    off_t const start = flags >= 0 && (flags & O_APPEND) ? st.st_size : lseek(fd, 0, SEEK_CUR);
    if (start < 0) return produce(simply);
    // Fails before the first byte where the whole text cannot fit.
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<std::uint64_t>(start) + size > limit.rlim_cur)
        throw OutputError(EFBIG);
    if (size > 0 && output_calls::reserve(fd, start, static_cast<off_t>(size)) != 0) {
        int const err = errno;
        if (!CannotReserve(err)) {
            // Space reserved past the end before the failure is given back.
            if (::ftruncate(fd, st.st_size) != 0) {
                // the reservation's error is what the user needs to know
            }
            throw OutputError(err);
        }
    }
    try {
        produce(simply);
    } catch (...) {
        if (::ftruncate(fd, st.st_size) != 0) {
            // the write error is what the user needs to know
        }
        throw;
    }
}

}  // namespace frontend
