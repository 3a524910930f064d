// GOST R 34.11-94 with the CryptoPro S-box and a zero starting value:
// incremental calculator and 32-byte digest.
#pragma once

#include <cstdint>

#include "block_buffer.h"
#include "digest_bytes.h"

class HashGOST3411;

class HashGOST3411_Calc {
public:
    // Ready for a message.
    HashGOST3411_Calc() { Reset(); }
    // Empty message; makes a spent calculator usable again. Fills the shared
    // substitution table on first use.
    void Reset();
    // Appends size bytes; a null data pointer is no data (see BlockBuffer).
    void Update(void const* data, unsigned long size);
    // Pads, folds in length and control sum, writes the digest. The calculator
    // keeps the chaining value after the length block and the byte count; its
    // unfinished block is empty. So a second finalization gives another value,
    // and later bytes start a new block.
    void FinalizeHash(HashGOST3411& out);

private:
    void ProcessBlocks(unsigned char const* data, unsigned long blocks);

    unsigned char h_[32];      // chaining value, least significant byte first
    unsigned char sigma_[32];  // control sum of all blocks, modulo 2^256
    BlockBuffer<32> buffer_;   // the bytes since Reset or the last finalization
    std::uint64_t before_;     // message bytes before those, modulo 2^64
};

class HashGOST3411 : public DigestBytes<32> {
public:
    HashGOST3411(void const* data, unsigned long size);
    // inPlace false finalizes a copy and leaves calc running; true spends calc.
    HashGOST3411(HashGOST3411_Calc& calc, bool inPlace);
    bool operator==(HashGOST3411 const& other) const;

    // Upper-case digest text of a NUL-terminated text into out (65 chars).
    // A text shorter than 32 characters is hashed as one zero-padded 32-byte block.
    static char* calc(char const* text, char* out);

private:
    friend class HashGOST3411_Calc;
};
static_assert(sizeof(HashGOST3411) == 32, "a digest is exactly its bytes");
