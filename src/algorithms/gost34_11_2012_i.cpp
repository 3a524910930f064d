#include "algorithms/gost34_11_2012_i.h"

#include <algorithm>
#include <cstring>

void Hash_Calc_GOST_34_11_2012::Update(void const* data, unsigned long size) {
    buffer_.Add(data, size, [this](unsigned char const* block, unsigned long blocks) {
        core_.addBlocks(block, blocks);
    });
}

void Hash_Calc_GOST_34_11_2012::UpdatePair(Hash_Calc_GOST_34_11_2012& a, void const* da,
                                           Hash_Calc_GOST_34_11_2012& b, void const* db,
                                           unsigned long size) {
    if (&a == &b || da == nullptr || db == nullptr) {
        a.Update(da, size);
        b.Update(db, size);
        return;
    }
    auto const* pa = static_cast<unsigned char const*>(da);
    auto const* pb = static_cast<unsigned char const*>(db);
    // Each first completes its own pending block, by Update; the whole blocks
    // both then have go through together, and Update takes the rest.
    auto toCompletePending = [size](Hash_Calc_GOST_34_11_2012 const& c) {
        return c.buffer_.Used() == 0 ? 0 : std::min<unsigned long>(size, 64 - c.buffer_.Used());
    };
    unsigned long const headA = toCompletePending(a), headB = toCompletePending(b);
    a.Update(pa, headA);
    b.Update(pb, headB);
    unsigned long const blocks = (size - std::max(headA, headB)) / 64;
    GOST34_11_2012::addBlocksPair(a.core_, pa + headA, b.core_, pb + headB, blocks);
    a.buffer_.AddPassedBlocks(blocks);
    b.buffer_.AddPassedBlocks(blocks);
    a.Update(pa + headA + 64 * blocks, size - headA - 64 * blocks);
    b.Update(pb + headB + 64 * blocks, size - headB - 64 * blocks);
}

void Hash_Calc_GOST_34_11_2012::FinalizeHash(Hash_GOST_34_11_2012& out) {
    // Pending bytes are the final portion, taken once: a second finalization
    // finds none, and getHash returns the finished core's result again.
    if (unsigned const used = buffer_.Used()) {
        core_.addPortion(buffer_.Pending(), used);
        buffer_.Reset();
    }
    std::memcpy(out.bytes_, core_.getHash(), 32);
}

Hash_GOST_34_11_2012::Hash_GOST_34_11_2012(void const* data, unsigned long size) {
    Hash_Calc_GOST_34_11_2012 calc;
    calc.Update(data, size);
    calc.FinalizeHash(*this);
}

Hash_GOST_34_11_2012::Hash_GOST_34_11_2012(Hash_Calc_GOST_34_11_2012& calc, bool inPlace) {
    Finalize(calc, inPlace, *this);
}

void gost_34_11_2012(void const* data, unsigned long size, void* out, int hashSize) {
    GOST34_11_2012 core(hashSize);
    core.addBlocks(data, size / 64);
    core.addPortion(static_cast<unsigned char const*>(data) + size / 64 * 64, size % 64);
    std::memcpy(out, core.getHash(), hashSize == 512 ? 64 : 32);
}
