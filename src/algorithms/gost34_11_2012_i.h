// GOST R 34.11-2012 256-bit calculator and digest for the hash framework,
// and a one-shot function for 256 and 512 bits.
#pragma once

#include <cstdint>

#include "block_buffer.h"
#include "digest_bytes.h"
#include "gost34_11_2012.h"

class Hash_GOST_34_11_2012;

class Hash_Calc_GOST_34_11_2012 {
public:
    Hash_Calc_GOST_34_11_2012() : core_(256) {}
    // Appends size bytes; a null data pointer is no data (see BlockBuffer).
    void Update(void const* data, unsigned long size);
    // The same as a.Update(da, size) followed by b.Update(db, size), a null
    // pointer being no data for its message only; the whole blocks of two
    // distinct calculators go through the core together (addBlocksPair).
    static void UpdatePair(Hash_Calc_GOST_34_11_2012& a, void const* da,
                           Hash_Calc_GOST_34_11_2012& b, void const* db, unsigned long size);
    // Whether UpdatePair takes two messages at once on this processor's path.
    static bool PairsBlocks() { return GOST34_11_2012::pairsBlocks(); }
    // Finishes the core and writes the digest; the calculator is spent, and a
    // second finalization with no Update between gives the same digest.
    void FinalizeHash(Hash_GOST_34_11_2012& out);

private:
    GOST34_11_2012 core_;
    BlockBuffer<64> buffer_;
};

class Hash_GOST_34_11_2012 : public DigestBytes<32> {
public:
    Hash_GOST_34_11_2012(void const* data, unsigned long size);
    // inPlace false finalizes a copy and leaves calc running; true spends calc.
    Hash_GOST_34_11_2012(Hash_Calc_GOST_34_11_2012& calc, bool inPlace);

private:
    friend class Hash_Calc_GOST_34_11_2012;
};
static_assert(sizeof(Hash_GOST_34_11_2012) == 32, "a digest is exactly its bytes");

// Digest of one buffer: hashSize 256 writes 32 bytes to out, 512 writes 64.
void gost_34_11_2012(void const* data, unsigned long size, void* out, int hashSize);
