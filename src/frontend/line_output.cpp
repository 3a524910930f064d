#include "frontend/line_output.h"

#include <cerrno>

#include "frontend/output_calls.h"
#include "frontend/whole_output.h"

namespace frontend {

LineBuffer::~LineBuffer() {
    try {
        sync();
    } catch (...) {
        // nothing is left to report to
    }
}

LineBuffer::int_type LineBuffer::overflow(int_type c) {
    if (c != traits_type::eof()) pending_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
}

std::streamsize LineBuffer::xsputn(char const* s, std::streamsize n) {
    pending_.append(s, static_cast<std::size_t>(n));
    return n;
}

int LineBuffer::sync() {
    for (std::size_t done = 0; done < pending_.size();) {
        ssize_t const n = output_calls::write(fd_, pending_.data() + done, pending_.size() - done);
        int const err = n < 0 ? errno : EIO;  // before anything else runs
        if (n < 0 && err == EINTR) continue;
        if (n <= 0) {
            pending_.clear();
            throw OutputError(err);
        }
        done += static_cast<std::size_t>(n);
    }
    pending_.clear();
    return 0;
}

}  // namespace frontend
