#include "util/qvstr.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Handed out (read-only) by the conversions when there is no buffer.
char const kEmptyText[1] = {'\0'};

// Size arithmetic for buffers: a size that wraps around can never be allocated.
unsigned long Sum(unsigned long a, unsigned long b) {
    if (a > ~0UL - b) throw std::bad_alloc();
    return a + b;
}

unsigned long Min(unsigned long a, unsigned long b) {
    return a < b ? a : b;
}

// Copies n bytes and returns the end of the copy.
char* Put(char* out, char const* from, unsigned long n) {
    if (n != 0) std::memcpy(out, from, n);
    return out + n;
}

// Exact-size buffer holding n bytes of text and a NUL.
char* NewText(char const* text, unsigned long n) {
    char* buffer = new char[Sum(n, 1)];
    Put(buffer, text, n)[0] = '\0';
    return buffer;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// strcasecmp on the current locale's lower case, from the C/C++ standard library alone.
int CompareIgnoringCase(char const* a, char const* b) {
    for (;; ++a, ++b) {
        int const x = std::tolower(static_cast<unsigned char>(*a));
        int const y = std::tolower(static_cast<unsigned char>(*b));
        if (x != y || x == 0) return x - y;
    }
}

// Range test and store of one numeric letter; letters without a range store nothing.
template <typename T>
bool StoreInRange(void* dest, double value, double low, double high) {
    if (!(value >= low && value <= high)) return false;  // NaN fails here too
    *static_cast<T*>(dest) = static_cast<T>(value);
    return true;
}

bool StoreNumber(void* dest, char type, double value) {
    switch (type) {
        case 'c':
            return StoreInRange<std::int8_t>(dest, value, -128.0, 127.0);
        case 'C':
            return StoreInRange<std::uint8_t>(dest, value, 0.0, 255.0);
        case 's':
            return StoreInRange<std::int16_t>(dest, value, -32767.0, 32767.0);
        case 'S':
            return StoreInRange<std::uint16_t>(dest, value, 0.0, 65535.0);
        case 'i':
            return StoreInRange<std::int32_t>(dest, value, -2147483648.0, 2147483647.0);
        case 'I':
            return StoreInRange<std::uint32_t>(dest, value, 0.0, 4294967295.0);
        case 'l':
            return StoreInRange<std::int64_t>(dest, value, -2147483648.0, 2147483647.0);
        case 'L':
            return StoreInRange<std::uint64_t>(dest, value, 0.0, 4294967295.0);
        case 'f':
            if (std::isnan(value)) {
                *static_cast<float*>(dest) = static_cast<float>(value);
                return true;
            }
            return StoreInRange<float>(dest, value, -3.402823466e+38, 3.402823466e+38);
        case 'd':
            *static_cast<double*>(dest) = value;
            return true;
        default:
            return true;
    }
}

}  // namespace

// ---- construction and destruction ----

QvStr::QvStr() : length_(0), buffer_(nullptr) {}

QvStr::QvStr(char const* text) : QvStr() {
    if (text == nullptr) return;
    unsigned long const n = std::strlen(text);
    buffer_ = NewText(text, n);
    length_ = n;
}

// A copy keeps every character of the length, NULs inside it included.
QvStr::QvStr(QvStr const& other) : QvStr() {
    if (other.GetLength() == 0) return;
    buffer_ = NewText(other.buffer_, other.length_);
    length_ = other.length_;
}

QvStr::QvStr(char c) : QvStr() {
    buffer_ = new char[2]{c, '\0'};
    length_ = 1;
}

QvStr::QvStr(int value) : QvStr() {
    QvStr::VarToString(value);
}
QvStr::QvStr(unsigned int value) : QvStr() {
    QvStr::VarToString(value);
}
QvStr::QvStr(double value) : QvStr() {
    QvStr::VarToString(value);
}

QvStr::QvStr(char const* text, unsigned long count) : QvStr() {
    if (count == 0 || text == nullptr) return;
    char* buffer = new char[Sum(count, 1)];
    // Up to count characters, the rest of the count filled with NUL bytes.
    unsigned long i = 0;
    for (; i < count && text[i] != '\0'; ++i) buffer[i] = text[i];
    std::memset(buffer + i, '\0', count + 1 - i);
    buffer_ = buffer;
    length_ = count;
}

QvStr::~QvStr() {
    delete[] buffer_;
}

// ---- private helpers ----

char const* QvStr::Chars() const {
    return buffer_ != nullptr ? buffer_ : kEmptyText;
}

void QvStr::Adopt(char* buffer, unsigned long length) {
    delete[] buffer_;
    buffer_ = buffer;
    length_ = length;
}

void QvStr::Resize(unsigned long length) {
    char* buffer = new char[Sum(length, 1)];
    unsigned long const keep = Min(GetLength(), length);
    Put(buffer, Chars(), keep);
    std::memset(buffer + keep, ' ', length - keep);
    buffer[length] = '\0';
    Adopt(buffer, length);
}

// One pass over the C text: every occurrence of from (searched left to right, never inside a
// replacement) becomes to. As with Delete, the new length is that of the new text, so anything
// past an embedded NUL is dropped once something was replaced.
int QvStr::ReplaceAll(char const* from, unsigned long from_len, char const* to,
                      unsigned long to_len) {
    if (GetLength() == 0) return 0;
    unsigned long count = 0;
    for (char const* at = std::strstr(buffer_, from); at != nullptr;
         at = std::strstr(at + from_len, from)) {
        ++count;
    }
    if (count == 0) return 0;

    unsigned long const text_len = std::strlen(buffer_);
    if (to_len != 0 && count > ~0UL / to_len) throw std::bad_alloc();
    unsigned long const length = Sum(text_len - count * from_len, count * to_len);
    char* buffer = new char[Sum(length, 1)];
    char* out = buffer;
    char const* rest = buffer_;
    for (char const* at = std::strstr(rest, from); at != nullptr; at = std::strstr(rest, from)) {
        out = Put(out, rest, at - rest);
        out = Put(out, to, to_len);
        rest = at + from_len;
    }
    Put(out, rest, std::strlen(rest))[0] = '\0';
    Adopt(buffer, length);
    return static_cast<int>(count);
}

// ---- comparison ----

bool QvStr::operator!=(char const* text) const {
    if (GetLength() == 0) return text != nullptr;
    return text == nullptr || std::strcmp(buffer_, text) != 0;
}

bool QvStr::operator==(char const* text) const {
    return !this->operator!=(text);
}

int QvStr::CompareNoCase(char const* text) const {
    bool const have_own = GetLength() != 0;
    bool const have_other = text != nullptr;
    if (!have_own && !have_other) return 0;
    if (have_own != have_other) return 1;
    return CompareIgnoringCase(buffer_, text);
}

QvStr& QvStr::toStr(QvStr& target) const {
    target += *this;
    return target;
}

// ---- wildcard matching ----

bool QvStr::Match(char const* pattern, char const* text) const {
    char const* p = pattern;
    char const* t = text;
    if (*p == '\0') return *t == '\0';
    while (*t != '\0') {
        if (*p == '?') {
            ++p;
            ++t;
        } else if (*p == '*') {
            if (!Scan(p, t)) return false;
        } else {
            if (*p != *t) return false;
            ++p;
            ++t;
        }
        if (*p == '\0') return *t == '\0';
    }
    while (*p == '*') ++p;
    return *p == '\0';
}

bool QvStr::Scan(char const*& pattern, char const*& text) const {
    char const*& p = pattern;
    char const*& t = text;
    ++p;  // the '*' itself
    // Wildcards right after it: each '?' takes one character, further '*' add nothing.
    while (*t != '\0' && (*p == '*' || *p == '?')) {
        if (*p == '?') ++t;
        ++p;
    }
    if (*t == '\0') {
        while (*p == '*') ++p;
        return *p == '\0';
    }
    // Try the current position, then each later one that starts with the next pattern
    // character, then the text's end; the first that matches the rest of the pattern wins.
    for (char const* j = t;; ++j) {
        if (j != t) {
            while (*j != '\0' && *j != *p) ++j;
        }
        if (Match(p, j)) {
            t = j;
            return true;
        }
        if (*j == '\0') return false;
    }
}

// ---- assignment ----

QvStr& QvStr::operator=(char const* text) {
    if (text == nullptr) {
        Adopt(nullptr, 0);
        return *this;
    }
    unsigned long const n = std::strlen(text);
    Adopt(NewText(text, n), n);  // text may point into the old buffer: copied before it goes
    return *this;
}

QvStr& QvStr::operator=(QvStr const& other) {
    return *this = other.Chars();  // self-assignment too: the text is copied before it goes
}

QvStr& QvStr::operator=(char c) {
    Adopt(new char[2]{c, '\0'}, 1);
    return *this;
}

QvStr& QvStr::operator=(double value) {
    VarToString(value);
    return *this;
}

QvStr& QvStr::operator=(int value) {
    return *this = static_cast<double>(value);
}
QvStr& QvStr::operator=(unsigned int value) {
    return *this = static_cast<double>(value);
}

// ---- appending and concatenation ----

QvStr& QvStr::operator+=(QvStr const& other) {
    unsigned long const add = other.GetLength();
    if (add == 0) return *this;
    unsigned long const own = GetLength();
    unsigned long const length = Sum(own, add);
    char* buffer = new char[Sum(length, 1)];
    Put(Put(buffer, Chars(), own), other.buffer_, add)[0] = '\0';  // other may be *this
    Adopt(buffer, length);
    return *this;
}

QvStr& QvStr::operator+=(char const* text) {
    return *this += QvStr(text);
}
QvStr& QvStr::operator+=(char c) {
    return *this += QvStr(c);
}
QvStr& QvStr::operator+=(double value) {
    return *this += QvStr(value);
}
QvStr& QvStr::operator+=(int value) {
    return *this += QvStr(value);
}
QvStr& QvStr::operator+=(unsigned int value) {
    return *this += QvStr(value);
}

QvStr QvStr::operator+(QvStr const& other) const {
    QvStr result(*this);
    result += other;
    return result;
}

QvStr QvStr::operator+(char const* text) const {
    return *this + QvStr(text);
}
QvStr QvStr::operator+(char c) const {
    return *this + QvStr(c);
}
QvStr QvStr::operator+(double value) const {
    return *this + QvStr(value);
}
QvStr QvStr::operator+(int value) const {
    return *this + QvStr(value);
}
QvStr QvStr::operator+(unsigned int value) const {
    return *this + QvStr(value);
}

namespace {
template <typename T>
QvStr Concatenate(T left, QvStr const& right) {
    QvStr result(left);
    result += right;
    return result;
}
}  // namespace

QvStr operator+(double left, QvStr const& right) {
    return Concatenate(left, right);
}
QvStr operator+(char const* left, QvStr const& right) {
    return Concatenate(left, right);
}
QvStr operator+(char left, QvStr const& right) {
    return Concatenate(left, right);
}

// ---- access ----

char QvStr::operator[](unsigned long index) const {
    if (buffer_ == nullptr || index > length_) return '\0';
    return buffer_[index];
}

char& QvStr::operator[](unsigned long index) {
    if (index >= GetLength()) Resize(Sum(index, 1));  // spaces through the index
    return buffer_[index];
}

unsigned long QvStr::GetLength() const {
    return buffer_ == nullptr ? 0 : length_;
}

QvStr::operator char*() {
    return GetChar();
}
QvStr::operator char const*() const {
    return Chars();
}
// The shared "" must not be written through; it is read-only storage.
char* QvStr::GetChar() {
    return const_cast<char*>(Chars());
}

char* QvStr::GetBufferSetLength(unsigned long count) {
    if (count == 0) return nullptr;
    if (buffer_ == nullptr || count != length_) Resize(count);
    return buffer_;
}

void QvStr::SetLengthByBuffer() {
    length_ = buffer_ == nullptr ? 0 : std::strlen(buffer_);
}

// ---- substrings ----

QvStr QvStr::Mid(unsigned long pos, unsigned long count) const {
    unsigned long const length = GetLength();
    if (pos >= length) return QvStr();
    unsigned long const n = Min(count, length - pos);
    if (pos == 0 && n == length) return *this;
    return QvStr(buffer_ + pos, n);
}

QvStr QvStr::Mid(unsigned long pos) const {
    if (pos > GetLength()) return QvStr();
    return Mid(pos, GetLength() - pos);
}

QvStr QvStr::Left(unsigned long n) const {
    if (GetLength() <= n) return *this;
    return QvStr(buffer_, n);
}

QvStr QvStr::Right(unsigned long n) const {
    if (GetLength() <= n) return *this;
    return QvStr(buffer_ + length_ - n, n);
}

QvStr QvStr::SpanIncluding(char const* set) const {
    if (set == nullptr || GetLength() == 0) return QvStr();
    return Left(std::strspn(buffer_, set));
}

QvStr QvStr::SpanExcluding(char const* set) const {
    if (set == nullptr || GetLength() == 0) return QvStr();
    return Left(std::strcspn(buffer_, set));
}

// ---- in-place editing ----

void QvStr::MakeUpper() {
    for (unsigned long i = 0; i < GetLength() && buffer_[i] != '\0'; ++i) {
        buffer_[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(buffer_[i])));
    }
}

void QvStr::MakeLower() {
    for (unsigned long i = 0; i < GetLength() && buffer_[i] != '\0'; ++i) {
        buffer_[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(buffer_[i])));
    }
}

void QvStr::MakeReverse() {
    unsigned long const length = GetLength();
    for (unsigned long i = 0; i < length / 2; ++i) {
        char const c = buffer_[i];
        buffer_[i] = buffer_[length - 1 - i];
        buffer_[length - 1 - i] = c;
    }
}

// ---- insertion and deletion ----

unsigned long QvStr::Insert(unsigned long pos, char c) {
    unsigned long const length = GetLength();
    if (pos > length) {
        (*this)[pos] = c;  // grows with spaces through pos
        return length_;
    }
    char* buffer = new char[Sum(length, 2)];
    Put(buffer, Chars(), pos)[0] = c;
    Put(buffer + pos + 1, Chars() + pos, length - pos)[0] = '\0';
    Adopt(buffer, length + 1);
    return length_;
}

unsigned long QvStr::Insert(unsigned long pos, char const* text) {
    if (text == nullptr || *text == '\0') return GetLength();
    unsigned long const length = GetLength();
    unsigned long const add = std::strlen(text);
    unsigned long const head = Min(pos, length);  // old characters before the insertion
    unsigned long const gap = pos - head;         // spaces when pos lies past the end
    char* buffer = new char[Sum(Sum(Sum(length, gap), add), 1)];
    char* out = Put(buffer, Chars(), head);
    std::memset(out, ' ', gap);
    out = Put(out + gap, text, add);  // text may point into the old buffer, still alive here
    Put(out, Chars() + head, length - head)[0] = '\0';
    Adopt(buffer, std::strlen(buffer));
    return length_;
}

unsigned long QvStr::Delete(unsigned long pos, unsigned long count) {
    if (buffer_ == nullptr) return 0;
    if (length_ == 0 || count == 0 || pos >= length_) return length_;
    unsigned long const n = Min(count, length_ - pos);
    char* buffer = new char[length_ + 1 - n];
    Put(Put(buffer, buffer_, pos), buffer_ + pos + n, length_ - pos - n)[0] = '\0';
    Adopt(buffer, std::strlen(buffer));
    return length_;
}

// ---- removing and replacing ----

int QvStr::Remove(char c) {
    if (c != '\0') {
        char const needle[2] = {c, '\0'};
        return ReplaceAll(needle, 1, "", 0);
    }
    // NULs inside the length are removed; the terminator is not part of the text.
    unsigned long count = 0;
    for (unsigned long i = 0; i < GetLength(); ++i) count += buffer_[i] == '\0';
    if (count == 0) return 0;
    char* buffer = new char[length_ - count + 1];
    char* out = buffer;
    for (unsigned long i = 0; i < length_; ++i) {
        if (buffer_[i] != '\0') *out++ = buffer_[i];
    }
    *out = '\0';
    Adopt(buffer, length_ - count);
    return static_cast<int>(count);
}

int QvStr::Remove(char const* text) {
    if (text == nullptr || *text == '\0') return 0;
    return ReplaceAll(text, std::strlen(text), "", 0);
}

int QvStr::Replace(char from, char to) {
    int count = 0;
    if (from == '\0') {
        // Only NULs inside the length; the terminator at length stays.
        for (unsigned long i = 0; i < GetLength(); ++i) {
            if (buffer_[i] == '\0') {
                buffer_[i] = to;
                ++count;
            }
        }
        return count;
    }
    if (GetLength() == 0) return 0;
    // In place; searching resumes after each replaced character, even when it became a NUL.
    for (char* at = std::strchr(buffer_, from); at != nullptr;) {
        *at = to;
        ++count;
        unsigned long const next = static_cast<unsigned long>(at - buffer_) + 1;
        at = next < length_ ? std::strchr(buffer_ + next, from) : nullptr;
    }
    return count;
}

int QvStr::Replace(char const* from, char const* to) {
    if (from == nullptr || to == nullptr || *from == '\0') return 0;
    return ReplaceAll(from, std::strlen(from), to, std::strlen(to));
}

// ---- searching ----

int QvStr::Find(char c) const {
    if (GetLength() == 0) return -1;
    char const* at = std::strchr(buffer_, c);
    return at == nullptr ? -1 : static_cast<int>(at - buffer_);
}

int QvStr::Find(char const* text) const {
    return text == nullptr ? -1 : Find(text, 0);
}

int QvStr::Find(char c, unsigned long start) const {
    if (start >= GetLength()) return -1;
    char const* at = std::strchr(buffer_ + start, c);
    return at == nullptr ? -1 : static_cast<int>(at - buffer_);
}

int QvStr::Find(char const* text, unsigned long start) const {
    if (text == nullptr || start >= GetLength()) return -1;
    char const* at = std::strstr(buffer_ + start, text);
    return at == nullptr ? -1 : static_cast<int>(at - buffer_);
}

int QvStr::ReverseFind(char c) const {
    if (GetLength() == 0) return -1;
    char const* at = std::strrchr(buffer_, c);
    return at == nullptr ? -1 : static_cast<int>(at - buffer_);
}

// ---- formatting ----

namespace {
int FormatVariadic(QvStr& target, char const* format, ...) {
    va_list args;
    va_start(args, format);
    int result;
    try {
        result = target.Format(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return result;
}
}  // namespace

int QvStr::Format(char const* format, ...) {
    va_list args;
    va_start(args, format);
    int result;
    try {
        result = Format(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return result;
}

int QvStr::FormatInt(char const* format, int value) {
    return FormatVariadic(*this, format, value);
}

// The old text stays until the new one is complete, so arguments may point into it and an
// allocation failure leaves it untouched.
int QvStr::Format(char const* format, va_list args) {
    if (format == nullptr) return 0;

    // Measuring pass: only the full length is wanted.
    char probe[1];
    va_list measure;
    va_copy(measure, args);
    int const n = std::vsnprintf(probe, sizeof probe, format, measure);
    va_end(measure);
    if (n < 1) {
        Adopt(nullptr, 0);
        return n;
    }

    // Writing pass into an exact-size buffer, from the start of the arguments again.
    unsigned long const length = static_cast<unsigned long>(n);
    char* buffer = new char[Sum(length, 1)];
    va_list write;
    va_copy(write, args);
    int const m = std::vsnprintf(buffer, length + 1, format, write);
    va_end(write);
    if (m < 1) {
        delete[] buffer;
        Adopt(nullptr, 0);
        return m;
    }
    Adopt(buffer, Min(static_cast<unsigned long>(m), length));
    return m;
}

void QvStr::VarToString(double value) {
    char text[32];
    int n = std::snprintf(text, sizeof text, "%.16g", value);  // at most 24 characters
    if (n > 0 && text[n - 1] == '.') --n;
    Adopt(NewText(text, n), n);
}

QvStr RzFormat(char const* format, ...) {
    QvStr result;
    va_list args;
    va_start(args, format);
    try {
        result.Format(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return result;
}

// ---- numeric parsing ----

bool QvStr::NumericParse(void* dest, char type) const {
    if (GetLength() == 0) return false;
    char const* text = buffer_;
    while (IsBlank(*text)) ++text;
    if (*text == '\0') return false;
    bool const unsigned_type = type == 'C' || type == 'S' || type == 'I' || type == 'L';
    if ((unsigned_type || type == 'b') && *text == '-') return false;

    if (type == 'b') {
        bool value;
        if (!std::strcmp(text, "true") || !std::strcmp(text, "1") || !std::strcmp(text, "TRUE")) {
            value = true;
        } else if (!std::strcmp(text, "false") || !std::strcmp(text, "0") ||
                   !std::strcmp(text, "FALSE")) {
            value = false;
        } else {
            return false;
        }
        *static_cast<bool*>(dest) = value;
        return true;
    }

    char* end = nullptr;
    double const value = std::strtod(text, &end);
    // A zero that does not start with the digit 0 is no number ("", "+0", ".0", underflow).
    if (value == 0 && *text != '0') return false;
    if ((type == 'd' || type == 'f') && (*end == 'f' || *end == 'F')) ++end;
    if ((type == 'l' || type == 'L') && (*end == 'l' || *end == 'L')) ++end;
    if (!StoreNumber(dest, type, value)) return false;

    while (IsBlank(*end)) ++end;
    return *end == '\0';
}
