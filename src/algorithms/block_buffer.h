// Collects a message given in pieces into whole blocks of N bytes, for the
// calculators of the three algorithms.
#pragma once

#include <cstdint>
#include <cstring>

// Whole blocks of a piece go to the block function straight from the caller's
// memory, all of them in one call; only the bytes of an unfinished block are
// copied and kept until the next piece completes it.
//
// A null data pointer is no data: Add(nullptr, size) changes nothing, whatever
// the size, so a calculator given one goes on as if the call had not been made.
template <unsigned N>
class BlockBuffer {
public:
    // Empty message.
    void Reset() { total_ = 0; }

    // Appends size bytes, calling blocks(first, count) with each run of `count`
    // whole blocks (count > 0) in message order.
    template <class Blocks>
    void Add(void const* data, unsigned long size, Blocks const& blocks) {
        if (data == nullptr || size == 0) return;
        auto const* in = static_cast<unsigned char const*>(data);
        unsigned const used = Used();
        total_ += size;
        if (used != 0) {
            unsigned long const take = N - used;
            if (size < take) {
                std::memcpy(pending_ + used, in, size);
                return;
            }
            std::memcpy(pending_ + used, in, take);
            blocks(static_cast<unsigned char const*>(pending_), 1UL);
            in += take;
            size -= take;
        }
        if (size >= N) blocks(in, size / N);
        if (size % N != 0) std::memcpy(pending_, in + size / N * N, size % N);
    }

    // Counts `count` whole blocks that went to the block function past the
    // buffer, while no block was unfinished.
    void AddPassedBlocks(unsigned long count) { total_ += std::uint64_t(count) * N; }

    // The bytes of the unfinished block: Used() of them, 0 to N - 1.
    unsigned char* Pending() { return pending_; }
    unsigned Used() const { return static_cast<unsigned>(total_ % N); }
    // Message bytes so far, modulo 2^64.
    std::uint64_t Total() const { return total_; }

private:
    std::uint64_t total_ = 0;
    unsigned char pending_[N] = {};
};
