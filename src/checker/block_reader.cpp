#include "checker/block_reader.h"

#include <fcntl.h>

#include <cerrno>
#include <memory>

#include "checker/file_access.h"
#include "checker/hashfile_checker.h"

namespace HashFileChecker {

namespace {

// The failure of the call that just failed. Its error number is taken before
// anything else runs: making the exception may allocate, and that may change errno.
[[noreturn]] void Fail(char const* fileName, char const* message) {
    int const err = errno;
    throw FileIOException(fileName, message, static_cast<unsigned>(err));
}

// Opens a file to read without blocking, below the root when there is one.
int OpenToRead(int rootFd, char const* fileName) {
    int const flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    return rootFd == -1 ? file_access::open(fileName, flags)
                        : file_access::openInRoot(rootFd, fileName, flags);
}

}  // namespace

NotRegularFile::NotRegularFile(char const* fileName, mode_t type)
    : FileIOException(fileName, "File read error", S_ISDIR(type) ? EISDIR : 0), Type(type) {}

BlockReader::BlockReader(int rootFd, char const* fileName, bool regularOnly)
    : name_(fileName), fd_(OpenToRead(rootFd, fileName)), size_(0), remaining_(0) {
    if (fd_ < 0) Fail(fileName, "Can`t open File for reading.");
    try {
        // A directory is refused the same way on every filesystem (some
        // would measure it, others not).
        struct stat st;
        if (file_access::fstat(fd_, &st) != 0) Fail(fileName, "File read error");
        if (S_ISDIR(st.st_mode) || (regularOnly && !S_ISREG(st.st_mode)))
            throw NotRegularFile(fileName, st.st_mode & S_IFMT);
        off_t const size = file_access::lseek(fd_, 0, SEEK_END);
        if (size < 0 || file_access::lseek(fd_, 0, SEEK_SET) < 0) Fail(fileName, "File read error");
        size_ = remaining_ = static_cast<std::uint64_t>(size);
        // Read ahead further for files of more than one block.
        if (size_ > kBlockSize) posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    } catch (...) {
        file_access::close(fd_);
        throw;
    }
}

BlockReader::~BlockReader() {
    file_access::close(fd_);
}

std::size_t BlockReader::ReadBlock(unsigned char* into) {
    std::size_t const want =
        remaining_ < kBlockSize ? static_cast<std::size_t>(remaining_) : kBlockSize;
    // Fill the block; a read that delivers nothing ends the file early.
    for (std::size_t got = 0; got < want;) {
        errno = 0;
        ssize_t const n = file_access::read(fd_, into + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(name_.c_str(), "File read error");  // errno 0 at an early end
        got += static_cast<std::size_t>(n);
    }
    remaining_ -= want;
    return want;
}

void GetFileHash(char const* fileName, IHash_Calc& calc) {
    BlockReader reader(fileName);
    std::unique_ptr<unsigned char[]> block(new unsigned char[BlockReader::kBlockSize]);
    while (std::size_t const n = reader.ReadBlock(block.get())) calc.Update(block.get(), n);
}

}  // namespace HashFileChecker
