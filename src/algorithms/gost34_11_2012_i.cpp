#include "algorithms/gost34_11_2012_i.h"

#include <cstring>

void Hash_Calc_GOST_34_11_2012::Update(void const* data, unsigned long size) {
    buffer_.Add(data, size, [this](unsigned char const* block, unsigned long blocks) {
        core_.addBlocks(block, blocks);
    });
}

void Hash_Calc_GOST_34_11_2012::FinalizeHash(Hash_GOST_34_11_2012& out) {
    core_.addPortion(buffer_.Pending(), buffer_.Used());
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
    std::memcpy(out, core.getHash(), hashSize / 8);
}
