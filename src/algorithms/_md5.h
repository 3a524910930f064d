// MD5 message digest (RFC 1321): incremental calculator and 16-byte digest.
#pragma once

#include <cstdint>

#include "block_buffer.h"
#include "digest_bytes.h"

class HashMD5;

class HashMD5_Calc {
public:
    // Ready for a message.
    HashMD5_Calc() { Reset(); }
    // Empty message: no bytes pending, byte count zero, chaining value set;
    // makes a spent calculator usable again.
    void Reset();
    // Appends size bytes; a null data pointer is no data (see BlockBuffer).
    void Update(void const* data, unsigned long size);
    // Pads, appends the bit count and writes the digest; the calculator is
    // spent: it has absorbed the padding, so a second finalization gives the
    // digest of the message followed by its padding.
    void FinalizeHash(HashMD5& out);

private:
    BlockBuffer<64> buffer_;
    std::uint32_t state_[4];  // A, B, C, D
};

class HashMD5 : public DigestBytes<16> {
public:
    HashMD5(void const* data, unsigned long size);
    // inPlace false finalizes a copy and leaves calc running; true spends calc.
    HashMD5(HashMD5_Calc& calc, bool inPlace);
    bool operator==(HashMD5 const& other) const;

private:
    friend class HashMD5_Calc;
};
static_assert(sizeof(HashMD5) == 16, "a digest is exactly its bytes");
