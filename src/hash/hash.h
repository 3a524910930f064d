// Algorithm-neutral hash framework: calculator, digest and factory interfaces,
// the templates that adapt an algorithm's plain classes to them, and the choice
// of an algorithm by number or by the tag of a stored digest text.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <typeinfo>

#include "../algorithms/_md5.h"
#include "../algorithms/gost3411.h"
#include "../algorithms/gost34_11_2012_i.h"

// Incremental calculator: absorbs a message in pieces.
class IHash_Calc {
public:
    virtual ~IHash_Calc() = default;
    virtual void Update(void const* data, unsigned long size) = 0;
    // Whether UpdatePair with other takes the two messages through the block
    // function at once: two distinct calculators of an algorithm whose path on
    // this processor has a two-message step.
    virtual bool PairsWith(IHash_Calc const& /*other*/) const { return false; }
    // The same as Update(data, size) followed by other.Update(otherData, size);
    // a null pointer is no data for its own message only.
    virtual void UpdatePair(IHash_Calc& other, void const* data, void const* otherData,
                            unsigned long size) {
        Update(data, size);
        other.Update(otherData, size);
    }
};

// A finished digest.
class IHash {
public:
    virtual ~IHash() = default;
    virtual unsigned GetHashSize() const = 0;
    // Digest text in the chosen case, optionally preceded by the algorithm's tag.
    virtual std::string ToStr(bool upperCase, bool withTag) const = 0;
    // Whether a text, tagged ('#' or '$') or not, names this digest in the chosen case.
    virtual bool Check(std::string const& text, bool upperCase) const = 0;
    virtual unsigned char const* Digest() const = 0;
};

// Makes calculators and digests of one algorithm. Digests refer to the
// factory's tag, so the factory must outlive them.
class IHashFactory {
public:
    virtual IHash_Calc* createHashCalc() const = 0;
    virtual IHash* createHash(void const* data, unsigned long size) const = 0;
    // inPlace true finalizes calc itself (then spent); false finalizes a copy.
    // Throws std::bad_cast for a calculator of another algorithm.
    virtual IHash* createHash(IHash_Calc& calc, bool inPlace) const = 0;
    virtual ~IHashFactory() = default;
};

// An algorithm whose calculators take two messages at once offers a static
// C::UpdatePair(a, da, b, db, size) and a static C::PairsBlocks().
template <class C, class = void>
struct TakesPairs : std::false_type {};
template <class C>
struct TakesPairs<C, std::void_t<decltype(&C::UpdatePair)>> : std::true_type {};

// C is ready for a message once constructed.
template <class C>
class Hash_Calc : public IHash_Calc {
public:
    void Update(void const* data, unsigned long size) override { calc.Update(data, size); }

    bool PairsWith([[maybe_unused]] IHash_Calc const& other) const override {
        if constexpr (TakesPairs<C>::value)
            return &other != this && OfThisKind(other) && C::PairsBlocks();
        return false;
    }

    void UpdatePair(IHash_Calc& other, void const* data, void const* otherData,
                    unsigned long size) override {
        if constexpr (TakesPairs<C>::value) {
            if (OfThisKind(other)) {
                C::UpdatePair(calc, data, static_cast<Hash_Calc&>(other).calc, otherData, size);
                return;
            }
        }
        IHash_Calc::UpdatePair(other, data, otherData, size);
    }

    C calc;

private:
    // typeid rather than dynamic_cast: an exact match of the two type_info
    // objects, no walk of the class hierarchy; made once per call, not per block.
    bool OfThisKind(IHash_Calc const& other) const { return typeid(other) == typeid(Hash_Calc); }
};

template <class H, class C>
class Hash : public IHash {
public:
    Hash(std::string const& tag, void const* data, unsigned long size)
        : tag_(tag), value_(data, size) {}
    Hash(std::string const& tag, C& calc, bool inPlace) : tag_(tag), value_(calc, inPlace) {}

    unsigned GetHashSize() const override { return H::Size; }

    std::string ToStr(bool upperCase, bool withTag) const override {
        char text[2 * H::Size + 1];
        value_.ToCSTR(text, upperCase);
        return withTag ? tag_ + text : std::string(text);
    }

    bool Check(std::string const& text, bool upperCase) const override {
        if (!text.empty() && (text[0] == '#' || text[0] == '$')) {
            // The first character is not compared: '#' and '$' both introduce a tag.
            std::size_t T = tag_.size();
            if (text.size() < T || text.compare(1, T - 1, tag_, 1, T - 1) != 0) return false;
            return value_.Check(text.c_str() + T, upperCase);
        }
        return value_.Check(text.c_str(), upperCase);
    }

    unsigned char const* Digest() const override { return value_.Bytes(); }

private:
    std::string const& tag_;
    H value_;
};

namespace HashFileChecker {
enum Alg : int { GOST_RFC4357 = 0, MD5 = 1, GOST_3411_2012 = 2 };
}

// Binds one algorithm's classes to the interfaces and carries its tag.
template <class H, class C>
class HashFactory : public IHashFactory {
public:
    explicit HashFactory(char const* tag) : tag_(tag) {}

    IHash_Calc* createHashCalc() const override { return new Hash_Calc<C>(); }
    IHash* createHash(void const* data, unsigned long size) const override {
        return new Hash<H, C>(tag_, data, size);
    }
    IHash* createHash(IHash_Calc& calc, bool inPlace) const override {
        auto& ours = dynamic_cast<Hash_Calc<C>&>(calc);
        return new Hash<H, C>(tag_, ours.calc, inPlace);
    }

private:
    std::string tag_;
};

class MD5HashFactory : public HashFactory<HashMD5, HashMD5_Calc> {
public:
    MD5HashFactory() : HashFactory("#MD5:") {}
};

class GOST_RFC4357HashFactory : public HashFactory<HashGOST3411, HashGOST3411_Calc> {
public:
    GOST_RFC4357HashFactory() : HashFactory("#GOST3411_RFC4357:") {}
};

class GOST_3411_2012HashFactory
    : public HashFactory<Hash_GOST_34_11_2012, Hash_Calc_GOST_34_11_2012> {
public:
    GOST_3411_2012HashFactory() : HashFactory("#GOST3411_256_2012:") {}
};

// A new factory for the algorithm number, or null for an unknown number.
IHashFactory* createHashFactory(HashFileChecker::Alg alg);
// A new factory for the algorithm a stored digest text names, or null.
IHashFactory* createHashFactory(std::string const& text);
