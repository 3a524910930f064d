#include "checker/read_file.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "checker/file_access.h"

namespace HashFileChecker {

namespace {

// size bytes of each through both calculators: at once when both are
// GOST R 34.11-2012 calculators, else one after the other.
void UpdateBoth(IHash_Calc& a, unsigned char const* da, IHash_Calc& b, unsigned char const* db,
                std::size_t size) {
    using Gost = Hash_Calc<Hash_Calc_GOST_34_11_2012>;
    auto* ga = dynamic_cast<Gost*>(&a);
    auto* gb = dynamic_cast<Gost*>(&b);
    if (ga != nullptr && gb != nullptr) {
        Hash_Calc_GOST_34_11_2012::UpdatePair(ga->calc, da, gb->calc, db, size);
    } else {
        a.Update(da, size);
        b.Update(db, size);
    }
}

// A reader for the job's file, or null with the failure kept in the job.
std::unique_ptr<BlockReader> Open(HashJob& job) {
    if (job.failure) return nullptr;
    try {
        return std::unique_ptr<BlockReader>(new BlockReader(job.fileName.c_str()));
    } catch (FileIOException const& e) {
        job.failure = std::current_exception();
        job.errCode = e.ErrCode;
    } catch (...) {
        job.failure = std::current_exception();
    }
    return nullptr;
}

// The next block of the job's file; 0 at its end or on a failure, which the
// job keeps. Either way the reader is closed then.
std::size_t Next(HashJob& job, std::unique_ptr<BlockReader>& reader, unsigned char* into) {
    if (!reader) return 0;
    try {
        if (std::size_t n = reader->Next(into)) return n;
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
        // Read ahead further for files of more than one block.
        if (static_cast<std::uint64_t>(size) > kBlockSize)
            posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    } catch (...) {
        file_access::close(fd_);
        throw;
    }
}

BlockReader::~BlockReader() {
    file_access::close(fd_);
}

std::size_t BlockReader::Next(unsigned char* into) {
    std::size_t const want =
        remaining_ < kBlockSize ? static_cast<std::size_t>(remaining_) : kBlockSize;
    // Fill the block; a read that delivers nothing ends the file early.
    for (std::size_t got = 0; got < want;) {
        errno = 0;
        ssize_t const n = file_access::read(fd_, into + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw FileIOException(name_.c_str(), "File read error", n < 0 ? errno : 0);
        got += static_cast<std::size_t>(n);
    }
    remaining_ -= want;
    return want;
}

void HashFiles(std::size_t lanes, std::function<bool(HashJob&)> const& next,
               std::function<bool(HashJob const&)> const& wanted,
               std::function<void(HashJob&)> const& done, ProgressListener* progress) {
    // A lane: its job, its file, its block buffer (one for all its files),
    // and the bytes of the block read last that its calculator has not had yet.
    struct Lane {
        HashJob job;
        std::unique_ptr<BlockReader> reader;
        std::unique_ptr<unsigned char[]> buffer;
        unsigned char const* data = nullptr;
        std::size_t left = 0;
    } lane[2];
    for (std::size_t k = 0; k < lanes; ++k)
        lane[k].buffer.reset(new unsigned char[BlockReader::kBlockSize]);
    // Gives lane k bytes to hash: the next block of its file, else the first
    // of the next job that has one; false when no job is left.
    auto refill = [&](Lane& l) {
        for (;;) {
            if (l.reader && !wanted(l.job)) l.reader.reset();
            if (!l.reader) {
                if (!next(l.job)) return false;
                if (!(l.reader = Open(l.job))) {
                    done(l.job);
                    continue;
                }
            }
            if ((l.left = Next(l.job, l.reader, l.buffer.get())) != 0) {
                l.data = l.buffer.get();
                if (progress) progress->BytesHashed(l.left);
                return true;
            }
            done(l.job);  // read whole, or failed
        }
    };
    bool busy[2] = {lanes > 0 && refill(lane[0]), lanes > 1 && refill(lane[1])};
    while (busy[0] || busy[1]) {
        // Side by side as far as both lanes have bytes, the rest alone.
        std::size_t const both = busy[0] && busy[1] ? std::min(lane[0].left, lane[1].left) : 0;
        if (both != 0)
            UpdateBoth(*lane[0].job.calc, lane[0].data, *lane[1].job.calc, lane[1].data, both);
        for (std::size_t k = 0; k < 2; ++k) {
            if (!busy[k]) continue;
            std::size_t const n = both != 0 ? both : lane[k].left;
            if (both == 0) lane[k].job.calc->Update(lane[k].data, n);
            lane[k].data += n;
            if ((lane[k].left -= n) == 0) busy[k] = refill(lane[k]);
        }
    }
}

void GetFileHash(char const* fileName, std::unique_ptr<IHash_Calc>& calc) {
    HashJob job;
    job.fileName = fileName;
    job.calc = std::move(calc);
    bool given = false;
    HashFiles(
        1, [&](HashJob& lane) { return !given && (lane = std::move(job), given = true); },
        [](HashJob const&) { return true; }, [&](HashJob& lane) { job = std::move(lane); },
        nullptr);
    calc = std::move(job.calc);
    if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace HashFileChecker
