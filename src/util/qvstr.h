// QvStr: a heap-held, NUL-terminated string of 8-bit characters.
//
// Every buffer has exactly length + 1 bytes (no spare capacity); an operation that changes the
// length builds a complete new buffer first and only then releases the old one, so an allocation
// failure (std::bad_alloc) leaves the string holding its old text, and arguments that point into
// the string's own buffer stay readable for the whole operation.
//
// A string is empty when its buffer is null or its length is 0; both forms behave alike.
#ifndef ICV_UTIL_QVSTR_H_
#define ICV_UTIL_QVSTR_H_

#include <cstdarg>
#include <type_traits>

#if defined(__GNUC__)
#define QVSTR_PRINTF_LIKE(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define QVSTR_PRINTF_LIKE(fmt, first)
#endif

class QvStr {
public:
    QvStr();
    QvStr(char const* text);  // NOLINT(google-explicit-constructor): reads like a C string
    QvStr(QvStr const& other);
    // Implicit, like the assignments: QvStr s = 42; holds "42", QvStr s = 0; holds "0".
    QvStr(char c);              // NOLINT(google-explicit-constructor)
    QvStr(int value);           // NOLINT(google-explicit-constructor)
    QvStr(unsigned int value);  // NOLINT(google-explicit-constructor)
    QvStr(double value);        // NOLINT(google-explicit-constructor)
    // count characters from text, NUL-padded when the text is shorter; count 0 or null text: empty.
    QvStr(char const* text, unsigned long count);

    // The virtual members, declared in their fixed slot order.
    virtual ~QvStr();
    virtual bool operator!=(char const* text) const;
    virtual bool operator==(char const* text) const;  // negates operator!= via the vtable
    virtual int CompareNoCase(char const* text) const;
    virtual QvStr& toStr(QvStr& target) const;  // appends this string to target
    // Wildcard match of the whole text against the whole pattern ('*' and '?'); the string's own
    // text is not used. Match and Scan call each other through the vtable.
    virtual bool Match(char const* pattern, char const* text) const;
    virtual bool Scan(char const*& pattern, char const*& text) const;
    virtual void VarToString(double value);  // "%.16g" text of the value

    QvStr& operator=(char const* text);
    // The other string's text up to its first NUL, as operator=(char const*) takes it.
    QvStr& operator=(QvStr const& other);
    QvStr& operator=(char c);
    QvStr& operator=(double value);
    QvStr& operator=(int value);
    QvStr& operator=(unsigned int value);

    QvStr& operator+=(QvStr const& other);
    QvStr& operator+=(char const* text);
    QvStr& operator+=(char c);
    QvStr& operator+=(double value);
    QvStr& operator+=(int value);
    QvStr& operator+=(unsigned int value);

    QvStr operator+(QvStr const& other) const;
    QvStr operator+(char const* text) const;
    QvStr operator+(char c) const;
    QvStr operator+(double value) const;
    QvStr operator+(int value) const;
    QvStr operator+(unsigned int value) const;

    // Past the end (or on a null buffer) the const index gives '\0'; the non-const one first
    // grows the string with spaces through the index.
    char operator[](unsigned long index) const;
    char& operator[](unsigned long index);
    unsigned long GetLength() const;
    // Never null: a string without a buffer yields a shared read-only "".
    operator char*();
    operator char const*() const;
    char* GetChar();
    // Resizes to count characters (cut, or padded with spaces) and returns the buffer to fill;
    // count 0 returns null and changes nothing.
    char* GetBufferSetLength(unsigned long count);
    void SetLengthByBuffer();  // length = strlen of the buffer

    QvStr Mid(unsigned long pos, unsigned long count) const;
    QvStr Mid(unsigned long pos) const;
    QvStr Left(unsigned long n) const;
    QvStr Right(unsigned long n) const;
    QvStr SpanIncluding(char const* set) const;  // null set: empty result
    QvStr SpanExcluding(char const* set) const;  // null set: empty result

    void MakeUpper();
    void MakeLower();
    void MakeReverse();
    // Insert and Delete return the new length; a position past the end pads with spaces.
    unsigned long Insert(unsigned long pos, char c);
    unsigned long Insert(unsigned long pos, char const* text);
    unsigned long Delete(unsigned long pos, unsigned long count);
    // Remove and Replace return the number of occurrences; a replaced text is not searched again.
    // For the NUL character they act on the NULs inside the length, never on the terminator.
    int Remove(char c);
    int Remove(char const* text);
    int Replace(char from, char to);
    int Replace(char const* from, char const* to);

    // Positions from the start of the string, or -1; a null needle gives -1.
    int Find(char c) const;
    int Find(char const* text) const;
    int Find(char c, unsigned long start) const;
    int Find(char const* text, unsigned long start) const;
    int ReverseFind(char c) const;

    // printf-style replacement of the whole string; returns the formatted length (or the negative
    // error of the C library, leaving the string empty). A null format returns 0, text kept.
    int Format(char const* format, ...) QVSTR_PRINTF_LIKE(2, 3);
    int Format(char const* format, va_list args) QVSTR_PRINTF_LIKE(2, 0);
    // A lone literal 0 would otherwise convert to va_list (a pointer on common ABIs) and select
    // the overload above; this one formats the int like the variadic form. It takes an int and
    // nothing else: a lone double or long converted to int would be formatted wrongly ("%.1f" of
    // 2.5 as "0.0"), so every other argument goes to the variadic form unchanged.
    template <typename T, typename std::enable_if<std::is_same<T, int>::value, int>::type = 0>
    int Format(char const* format, T value) {
        return FormatInt(format, value);
    }

    // Reads the text as the type named by the letter (c C s S i I l L f d b) and stores it at
    // dest; true when the whole text (blanks aside) was a number in range.
    bool NumericParse(void* dest, char type) const;

private:
    char const* Chars() const;                       // buffer or the shared ""
    void Adopt(char* buffer, unsigned long length);  // frees the old buffer, takes the new one
    void Resize(unsigned long length);               // cut or pad with spaces, exact size
    int ReplaceAll(char const* from, unsigned long from_len, char const* to, unsigned long to_len);
    int FormatInt(char const* format, int value);  // the variadic form with one int

    unsigned long length_;
    char* buffer_;
};

QvStr operator+(double left, QvStr const& right);
QvStr operator+(char const* left, QvStr const& right);
QvStr operator+(char left, QvStr const& right);

// A new string formatted like QvStr::Format.
QvStr RzFormat(char const* format, ...) QVSTR_PRINTF_LIKE(1, 2);

#endif  // ICV_UTIL_QVSTR_H_
