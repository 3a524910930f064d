// Standard output for lines written as they are known, on any thread: each
// flush is one write(2) where the system takes it whole, and a failed write
// throws the error of that very call, whichever thread made it.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace frontend {

class LineBuffer : public std::streambuf {
public:
    explicit LineBuffer(int fd) : fd_(fd) {}
    // Writes what is left unflushed; a failure then goes unreported.
    ~LineBuffer() override;
    LineBuffer(LineBuffer const&) = delete;
    LineBuffer& operator=(LineBuffer const&) = delete;

private:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(char const* s, std::streamsize n) override;
    int sync() override;  // throws OutputError

    int fd_;
    std::string pending_;
};

class LineOutput : public std::ostream {
public:
    explicit LineOutput(int fd) : std::ostream(&buffer_), buffer_(fd) {
        exceptions(std::ios::badbit);  // what the buffer throws reaches the caller
    }

private:
    LineBuffer buffer_;
};

}  // namespace frontend
