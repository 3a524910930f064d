// Fixed-size digest value shared by the three algorithms: N bytes, byte 0
// first, with its hexadecimal text and the comparison against a text.
#pragma once

#include <cstddef>

template <std::size_t N>
class DigestBytes {
public:
    static constexpr std::size_t Size = N;

    // Writes 2N hexadecimal digits (byte 0 first, high nibble first) and a NUL.
    void ToCSTR(char* out, bool upperCase) const {
        char const* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
        for (std::size_t i = 0; i < N; ++i) {
            *out++ = digits[bytes_[i] >> 4];
            *out++ = digits[bytes_[i] & 15];
        }
        *out = '\0';
    }

    // True only for exactly the text ToCSTR writes with the same case flag.
    // Stops at the first mismatch, so a shorter text fails on its NUL.
    bool Check(char const* text, bool upperCase) const {
        if (text == nullptr) return false;
        char const* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
        for (std::size_t i = 0; i < N; ++i) {
            if (*text++ != digits[bytes_[i] >> 4]) return false;
            if (*text++ != digits[bytes_[i] & 15]) return false;
        }
        return *text == '\0';
    }

    unsigned char const* Bytes() const { return bytes_; }

protected:
    DigestBytes() = default;

    // Finalizes calc into out: calc itself (then spent), or a copy of it.
    template <class Calc, class Digest>
    static void Finalize(Calc& calc, bool inPlace, Digest& out) {
        if (inPlace) {
            calc.FinalizeHash(out);
        } else {
            Calc copy = calc;
            copy.FinalizeHash(out);
        }
    }

    unsigned char bytes_[N];
};
