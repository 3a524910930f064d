#include "checker/lanes.h"

#include <algorithm>

#include "checker/block_reader.h"

namespace HashFileChecker {

namespace {

// A lane: its job, its file, its block buffer (one for all its files), and
// the bytes of the block read last that its calculator has not had yet.
struct Lane {
    HashJob job;
    std::unique_ptr<BlockReader> reader;
    std::unique_ptr<unsigned char[]> buffer;
    unsigned char const* data = nullptr;
    std::size_t left = 0;
};

// Keeps a failure of the job's file in the job.
template <class Step>
bool Kept(HashJob& job, Step const& step) {
    try {
        step();
        return true;
    } catch (FileIOException const& e) {
        job.errCode = e.ErrCode;
        job.failure = std::current_exception();
    } catch (...) {
        job.failure = std::current_exception();
    }
    return false;
}

// Gives the lane bytes to hash: the next block of its file, else the first of
// the next job that has one; false when no job is left.
bool Refill(Lane& lane, std::function<bool(HashJob&)> const& load,
            std::function<bool(HashJob const&)> const& wanted,
            std::function<void(HashJob&)> const& done, ProgressListener* progress) {
    for (;;) {
        if (lane.reader && !wanted(lane.job)) lane.reader.reset();
        if (!lane.reader) {
            if (!load(lane.job)) return false;
            if (lane.job.failure ||
                !Kept(lane.job, [&] { lane.reader.reset(new BlockReader(lane.job.fileName.c_str())); })) {
                done(lane.job);
                continue;
            }
            if (progress) progress->FileSized(lane.reader->Size());
        }
        if (Kept(lane.job, [&] { lane.left = lane.reader->ReadBlock(lane.buffer.get()); }) &&
            lane.left != 0) {
            lane.data = lane.buffer.get();
            if (progress) progress->BytesHashed(lane.left);
            return true;
        }
        lane.reader.reset();
        done(lane.job);  // read whole, or failed
    }
}

}  // namespace

void HashInLanes(std::size_t lanes, std::function<bool(HashJob&)> const& load,
                 std::function<bool(HashJob const&)> const& wanted,
                 std::function<void(HashJob&)> const& done, ProgressListener* progress) {
    Lane lane[2];
    for (std::size_t k = 0; k < lanes; ++k)
        lane[k].buffer.reset(new unsigned char[BlockReader::kBlockSize]);
    auto refill = [&](Lane& l) { return Refill(l, load, wanted, done, progress); };
    bool busy[2] = {lanes > 0 && refill(lane[0]), lanes > 1 && refill(lane[1])};
    while (busy[0] || busy[1]) {
        // Side by side as far as both lanes have bytes and their calculators
        // pair, the rest alone.
        bool const paired = busy[0] && busy[1] && lane[0].job.calc->PairsWith(*lane[1].job.calc);
        std::size_t const both = paired ? std::min(lane[0].left, lane[1].left) : 0;
        if (paired)
            lane[0].job.calc->UpdatePair(*lane[1].job.calc, lane[0].data, lane[1].data, both);
        for (std::size_t k = 0; k < 2; ++k) {
            if (!busy[k]) continue;
            std::size_t const n = paired ? both : lane[k].left;
            if (!paired) lane[k].job.calc->Update(lane[k].data, n);
            lane[k].data += n;
            if ((lane[k].left -= n) == 0) busy[k] = refill(lane[k]);
        }
    }
}

}  // namespace HashFileChecker
