// GOST R 34.11-2012 (Streebog) compression core, 256- and 512-bit variants.
// The core takes whole 64-byte blocks followed by one final portion of 0..63 bytes.
#pragma once

#include <cstdint>

// Unsigned 512-bit number: word 0 least significant, each word a number in the
// host's byte order. Bytes come in and go out least significant first, through
// load64le and store64le, so every byte order gives the same digests.
struct UInt512 {
    std::uint64_t w[8];
};

class GOST34_11_2012 {
public:
    // 512 selects the 512-bit variant; every other value the 256-bit one.
    explicit GOST34_11_2012(int hashSize);

    // size 64: one whole block. 0..63: the final portion, which finishes the state.
    void addPortion(void const* data, unsigned long size);
    // The same as `blocks` calls of addPortion(data + 64 * i, 64).
    void addBlocks(void const* data, unsigned long blocks);
    // The same as a.addBlocks(da, blocks) followed by b.addBlocks(db, blocks).
    // On a path with a two-message step (pairsBlocks) the two go through
    // together: one core then hashes about one and a half times the bytes per
    // second of one message.
    static void addBlocksPair(GOST34_11_2012& a, void const* da, GOST34_11_2012& b, void const* db,
                              unsigned long blocks);
    // Whether the path in use, chosen once for the process, has that step.
    static bool pairsBlocks();
    // Finishes with an empty portion if needed; 64 result bytes for the 512-bit
    // variant, else 32 (the upper half of h). Least significant byte first.
    unsigned char const* getHash();

private:
    UInt512 h_;
    UInt512 N_;                    // message bits so far
    UInt512 sigma_;                // sum of all blocks, modulo 2^512
    unsigned char lastBlock_[64];  // the last block processed, the padded one at the end
    unsigned char result_[64];     // h, least significant byte first, written by getHash
    std::int32_t hashSize_;
    bool finished_;
};
