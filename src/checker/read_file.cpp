#include "checker/read_file.h"

#include <fcntl.h>

#include <cerrno>
#include <memory>

#include "checker/file_access.h"

namespace HashFileChecker {

namespace {

constexpr std::size_t kBlockSize = 65536;

// An open file descriptor, closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { file_access::close(fd_); }
    Descriptor(Descriptor const&) = delete;
    Descriptor& operator=(Descriptor const&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

bool GetFileHash(char const* fileName, IHash_Calc& calc, ProgressListener* progress,
                 std::function<bool()> const& keepGoing) {
    int const opened = file_access::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (opened < 0) throw FileIOException(fileName, "Can`t open File for reading.", errno);
    Descriptor const file(opened);

    // A directory is refused the same way on every filesystem (some would
    // measure it, others not).
    struct stat st;
    if (file_access::fstat(file.get(), &st) != 0)
        throw FileIOException(fileName, "File read error", errno);
    if (S_ISDIR(st.st_mode)) throw FileIOException(fileName, "File read error", EISDIR);
    off_t const size = file_access::lseek(file.get(), 0, SEEK_END);
    if (size < 0 || file_access::lseek(file.get(), 0, SEEK_SET) < 0)
        throw FileIOException(fileName, "File read error", errno);
    if (size == 0) return true;
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    for (auto remaining = static_cast<std::uint64_t>(size); remaining != 0;) {
        if (keepGoing && !keepGoing()) return false;
        std::size_t const want =
            remaining < kBlockSize ? static_cast<std::size_t>(remaining) : kBlockSize;
        // Fill the block; a read that delivers nothing ends the file early.
        for (std::size_t got = 0; got < want;) {
            errno = 0;
            ssize_t const n = file_access::read(file.get(), buffer.get() + got, want - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw FileIOException(fileName, "File read error", n < 0 ? errno : 0);
            got += static_cast<std::size_t>(n);
        }
        calc.Update(buffer.get(), want);
        remaining -= want;
        if (progress) progress->BytesHashed(want);
    }
    return true;
}

}  // namespace HashFileChecker
