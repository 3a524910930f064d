#include "checker/read_file.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "checker/file_access.h"

namespace HashFileChecker {

namespace {

constexpr std::size_t kBlockSize = 65536;

// size bytes of each through both calculators.
void UpdateBoth(IHash_Calc& a, unsigned char const* da, IHash_Calc& b, unsigned char const* db,
                std::size_t size) {
    a.Update(da, size);
    b.Update(db, size);
}

// A reader for the job's file, or null with the failure kept in the job.
std::unique_ptr<BlockReader> Open(HashJob& job) {
    try {
        return std::unique_ptr<BlockReader>(new BlockReader(job.fileName));
    } catch (FileIOException const& e) {
        job.failure = std::current_exception();
        job.errCode = e.ErrCode;
        return nullptr;
    }
}

// The next block of the job's file; 0 at its end or on a failure, which the
// job keeps. Either way the reader is closed then.
std::size_t Next(HashJob& job, std::unique_ptr<BlockReader>& reader) {
    if (!reader) return 0;
    try {
        if (std::size_t n = reader->Next()) return n;
    } catch (FileIOException const& e) {
        job.failure = std::current_exception();
        job.errCode = e.ErrCode;
    }
    reader.reset();
    return 0;
}

}  // namespace

BlockReader::BlockReader(char const* fileName) : name_(fileName), fd_(-1), remaining_(0) {
    fd_ = file_access::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw FileIOException(fileName, "Can`t open File for reading.", errno);
    try {
        // A directory is refused the same way on every filesystem (some
        // would measure it, others not).
        struct stat st;
        if (file_access::fstat(fd_, &st) != 0)
            throw FileIOException(fileName, "File read error", errno);
        if (S_ISDIR(st.st_mode)) throw FileIOException(fileName, "File read error", EISDIR);
        off_t const size = file_access::lseek(fd_, 0, SEEK_END);
        if (size < 0 || file_access::lseek(fd_, 0, SEEK_SET) < 0)
            throw FileIOException(fileName, "File read error", errno);
        remaining_ = static_cast<std::uint64_t>(size);
        if (size != 0) {
            posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
            buffer_.reset(new unsigned char[kBlockSize]);
        }
    } catch (...) {
        file_access::close(fd_);
        throw;
    }
}

BlockReader::~BlockReader() {
    file_access::close(fd_);
}

std::size_t BlockReader::Next() {
    std::size_t const want =
        remaining_ < kBlockSize ? static_cast<std::size_t>(remaining_) : kBlockSize;
    // Fill the block; a read that delivers nothing ends the file early.
    for (std::size_t got = 0; got < want;) {
        errno = 0;
        ssize_t const n = file_access::read(fd_, buffer_.get() + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw FileIOException(name_.c_str(), "File read error", n < 0 ? errno : 0);
        got += static_cast<std::size_t>(n);
    }
    remaining_ -= want;
    return want;
}

void GetFileHashes(HashJob* jobs, std::size_t count, ProgressListener* progress,
                   std::function<bool(HashJob const&)> const& wanted,
                   std::function<void(HashJob&)> const& done) {
    std::unique_ptr<BlockReader> readers[2];
    std::size_t sizes[2] = {0, 0};
    bool ended[2] = {false, false};  // read whole or failed in this round
    for (std::size_t k = 0; k < count; ++k)
        if (!(readers[k] = Open(jobs[k]))) done(jobs[k]);
    while (readers[0] || readers[1]) {
        for (std::size_t k = 0; k < count; ++k) {
            if (readers[k] && !wanted(jobs[k])) readers[k].reset();
            bool const reading = readers[k] != nullptr;
            sizes[k] = Next(jobs[k], readers[k]);
            ended[k] = reading && sizes[k] == 0;
        }
        std::size_t const both = std::min(sizes[0], sizes[1]);
        if (count == 2 && both != 0)
            UpdateBoth(*jobs[0].calc, readers[0]->Data(), *jobs[1].calc, readers[1]->Data(), both);
        for (std::size_t k = 0; k < count; ++k) {
            if (sizes[k] > both) jobs[k].calc->Update(readers[k]->Data() + both, sizes[k] - both);
            if (progress && sizes[k] != 0) progress->BytesHashed(sizes[k]);
            if (ended[k]) done(jobs[k]);
        }
    }
}

void GetFileHash(char const* fileName, IHash_Calc& calc) {
    HashJob job = {fileName, &calc, 0, nullptr, 0};
    GetFileHashes(&job, 1, nullptr, [](HashJob const&) { return true; }, [](HashJob&) {});
    if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace HashFileChecker
