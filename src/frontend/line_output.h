// Standard output for lines written as they are known, on any thread: each
// flush is one write(2), and a failed write throws the error of that very
// call, whichever thread made it.
#pragma once

#include <cerrno>
#include <ostream>
#include <streambuf>
#include <string>

#include "frontend/output_calls.h"
#include "frontend/whole_output.h"

namespace frontend {

class LineBuffer : public std::streambuf {
public:
    explicit LineBuffer(int fd) : fd_(fd) {}

private:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) pending_ += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(char const* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override {
        for (std::size_t done = 0; done < pending_.size();) {
            ssize_t const n = output_calls::write(fd_, pending_.data() + done, pending_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                int const err = n < 0 ? errno : EIO;
                pending_.clear();
                throw OutputError(err);
            }
            done += static_cast<std::size_t>(n);
        }
        pending_.clear();
        return 0;
    }

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
