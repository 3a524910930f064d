#include "frontend/whole_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

// Holds every signal but SIGKILL and SIGSTOP while it lives, the two the C
// library keeps for itself included (hence the system call); one that came
// meanwhile acts when it ends. Only the calling thread runs by then, so no
// other thread takes a signal sent to the process.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t all;
        std::memset(&all, 0xff, sizeof all);
        ::syscall(SYS_rt_sigprocmask, SIG_BLOCK, &all, &old_, kSetBytes);
    }
    ~HeldSignals() { ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &old_, nullptr, kSetBytes); }
    HeldSignals(HeldSignals const&) = delete;
    HeldSignals& operator=(HeldSignals const&) = delete;

private:
    static constexpr std::size_t kSetBytes = (NSIG - 1) / 8;  // the kernel's signal set
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
    HeldSignals held;  // a signal never leaves a cut list, on any target
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return produce(simply);

    int const flags = fcntl(fd, F_GETFL);
    off_t const start = flags >= 0 && (flags & O_APPEND) ? st.st_size : lseek(fd, 0, SEEK_CUR);
    if (start < 0) return produce(simply);
    // Fails before the first byte where the whole text cannot fit.
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<std::uint64_t>(start) + size > limit.rlim_cur)
        throw OutputError(EFBIG);
    int err;  // of the reservation, made again when interrupted
    do {
        err = size > 0 && output_calls::reserve(fd, start, static_cast<off_t>(size)) != 0 ? errno : 0;
    } while (err == EINTR);
    if (err != 0 && !CannotReserve(err)) {
        // Space reserved past the end before the failure is given back.
        if (::ftruncate(fd, st.st_size) != 0) {
            // the reservation's error is what the user needs to know
        }
        throw OutputError(err);
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
