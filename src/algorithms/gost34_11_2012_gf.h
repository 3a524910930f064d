// GOST R 34.11-2012 in a byte basis where its linear layer is arithmetic in
// GF(2^8) with the polynomial x^8 + x^4 + x^3 + x + 1, the field that the
// processors' GF(2^8) multiply instructions use.
//
// Every 8x8 bit block of the matrix A maps an input byte to an output byte,
// and all 64 blocks are polynomials in one of them, which generates a field of
// 256 elements. Choosing a byte basis phi in which that field's generator
// satisfies the polynomial above turns each block into multiplication by a
// constant byte c[k][i]. Substitution and XOR carry over (pi becomes
// phi . pi . phi^-1); additions modulo 2^512 do not, so N and the control sum
// stay in the standard basis and are converted when used.
//
// Everything here is computed at compile time from the standard's pi and A,
// and the field property is checked by static_assert.
#pragma once

#include <cstdint>

#include "algorithms/gost34_11_2012_const.h"

namespace gost34_11_2012_gf {

// An 8x8 bit matrix acting on bytes: col[b] is the image of bit b.
struct Mat8 {
    std::uint8_t col[8];
};

constexpr std::uint8_t apply(Mat8 const& m, std::uint8_t x) {
    std::uint8_t r = 0;
    for (int b = 0; b < 8; ++b)
        if ((x >> b) & 1) r ^= m.col[b];
    return r;
}

constexpr Mat8 compose(Mat8 const& outer, Mat8 const& inner) {
    Mat8 r{};
    for (int b = 0; b < 8; ++b) r.col[b] = apply(outer, inner.col[b]);
    return r;
}

constexpr bool equal(Mat8 const& a, Mat8 const& b) {
    for (int i = 0; i < 8; ++i)
        if (a.col[i] != b.col[i]) return false;
    return true;
}

constexpr Mat8 identity() {
    Mat8 r{};
    for (int b = 0; b < 8; ++b) r.col[b] = static_cast<std::uint8_t>(1u << b);
    return r;
}

// The block of A from byte `in` of l's argument to byte `out` of its result.
constexpr Mat8 block(int out, int in) {
    Mat8 r{};
    for (int b = 0; b < 8; ++b)
        r.col[b] = static_cast<std::uint8_t>(gost34_11_2012_const::A[63 - 8 * in - b] >> (8 * out));
    return r;
}

// p(X) for the polynomial whose coefficient of X^j is bit j of p.
constexpr Mat8 polynomial(unsigned p, Mat8 const& x) {
    Mat8 sum{}, power = identity();
    for (int j = 0; j < 9; ++j, power = compose(power, x))
        if ((p >> j) & 1)
            for (int b = 0; b < 8; ++b) sum.col[b] ^= power.col[b];
    return sum;
}

constexpr unsigned kFieldPolynomial = 0x11b;  // x^8 + x^4 + x^3 + x + 1

// Product in GF(2^8) modulo kFieldPolynomial.
constexpr std::uint8_t fieldMul(std::uint8_t a, std::uint8_t b) {
    unsigned r = 0, x = a;
    for (int i = 0; i < 8; ++i, x <<= 1) {
        if ((b >> i) & 1) r ^= x;
    }
    for (int i = 14; i >= 8; --i)
        if ((r >> i) & 1) r ^= kFieldPolynomial << (i - 8);
    return static_cast<std::uint8_t>(r);
}

// Multiplication by c as a bit matrix.
constexpr Mat8 mulMatrix(std::uint8_t c) {
    Mat8 r{};
    for (int b = 0; b < 8; ++b) r.col[b] = fieldMul(c, static_cast<std::uint8_t>(1u << b));
    return r;
}

// Inverse by Gaussian elimination on columns (the matrices used are invertible).
constexpr Mat8 inverse(Mat8 m) {
    Mat8 inv = identity();
    for (int bit = 0; bit < 8; ++bit) {
        int pivot = bit;
        while (!((m.col[pivot] >> bit) & 1)) ++pivot;
        std::uint8_t t = m.col[bit];
        m.col[bit] = m.col[pivot];
        m.col[pivot] = t;
        t = inv.col[bit];
        inv.col[bit] = inv.col[pivot];
        inv.col[pivot] = t;
        for (int c = 0; c < 8; ++c)
            if (c != bit && ((m.col[c] >> bit) & 1)) {
                m.col[c] ^= m.col[bit];
                inv.col[c] ^= inv.col[bit];
            }
    }
    return inv;
}

struct Basis {
    Mat8 phi;     // standard byte -> field byte
    Mat8 phiInv;  // field byte -> standard byte
};

// A root Y of the field polynomial among the polynomials in block(0, 0); the
// new basis is Y^0 v .. Y^7 v with v the byte 0x01, so that Y becomes x.
constexpr Basis findBasis() {
    Mat8 const g = block(0, 0);
    for (unsigned p = 2; p < 256; ++p) {
        Mat8 const y = polynomial(p, g);
        Mat8 const value = polynomial(kFieldPolynomial, y);
        bool zero = true;
        for (auto c : value.col) zero = zero && c == 0;
        if (!zero) continue;
        Mat8 phiInv{};
        Mat8 power = identity();
        for (int b = 0; b < 8; ++b, power = compose(power, y)) phiInv.col[b] = power.col[0];
        return Basis{inverse(phiInv), phiInv};
    }
    return Basis{};
}

inline constexpr Basis basis = findBasis();

struct Coefficients {
    std::uint8_t c[8][8];  // c[out][in]
};

constexpr Coefficients findCoefficients() {
    Coefficients r{};
    for (int k = 0; k < 8; ++k)
        for (int i = 0; i < 8; ++i)
            r.c[k][i] = apply(compose(compose(basis.phi, block(k, i)), basis.phiInv), 1);
    return r;
}

// Output byte k of l is the field sum over input bytes i of c[k][i] * byte i.
inline constexpr Coefficients coefficients = findCoefficients();

constexpr bool everyBlockIsAFieldProduct() {
    for (int k = 0; k < 8; ++k)
        for (int i = 0; i < 8; ++i)
            if (!equal(compose(compose(basis.phi, block(k, i)), basis.phiInv),
                       mulMatrix(coefficients.c[k][i])))
                return false;
    return true;
}
static_assert(equal(compose(basis.phi, basis.phiInv), identity()), "phi must be invertible");
static_assert(everyBlockIsAFieldProduct(), "the linear layer must be field arithmetic");

struct Table256 {
    std::uint8_t v[256];
};

// pi in the field basis.
constexpr Table256 fieldPi() {
    Table256 t{};
    for (int y = 0; y < 256; ++y)
        t.v[y] = apply(basis.phi,
                       gost34_11_2012_const::Pi[apply(basis.phiInv, static_cast<std::uint8_t>(y))]);
    return t;
}

inline constexpr Table256 pi = fieldPi();

// The matrix in the form of the affine-transform instructions: byte 7 - i of
// the 64-bit operand holds row i (the input bits that make output bit i).
constexpr std::uint64_t affineOperand(Mat8 const& m) {
    std::uint64_t q = 0;
    for (int i = 0; i < 8; ++i) {
        std::uint64_t row = 0;
        for (int b = 0; b < 8; ++b) row |= std::uint64_t((m.col[b] >> i) & 1) << b;
        q |= row << (8 * (7 - i));
    }
    return q;
}

}  // namespace gost34_11_2012_gf
