#include "checker/read_lists.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "checker/hashfile_checker.h"

namespace HashFileChecker {

namespace {

constexpr std::size_t kFileListLine = 8192;
constexpr std::size_t kHashListLine = 4128;

// Calls onLine with each line of a text file, up to its first NUL, for at most
// maxLine characters a line. Returns 0 at the end of the file, or the number
// (from 1) of a longer line, which ends the reading. Failures to open or read
// are thrown with the given messages and errno.
template <class OnLine>
std::size_t ReadLines(char const* path, std::size_t maxLine, char const* openError,
                      char const* readError, OnLine const& onLine) {
    std::ifstream in(path);
    if (!in.good()) throw FileIOException(path, openError, errno);
    errno = 0;  // a format error reports whatever errno holds: nothing stale
    std::unique_ptr<char[]> line(new char[maxLine + 1]);
    for (std::size_t number = 1;; ++number) {
        in.getline(line.get(), static_cast<std::streamsize>(maxLine + 1));
        if (in.fail()) {
            if (in.bad()) throw FileIOException(path, readError, errno);
            return in.eof() ? 0 : number;
        }
        onLine(static_cast<char const*>(line.get()));
    }
}

}  // namespace

void LoadFileList(char const* path, std::list<std::string>& entries) {
    ReadLines(path, kFileListLine, "Can`t open File List file for reading.",
              "File List read error.", [&](char const* text) {
                  if (text[0] != '\0') entries.emplace_back(text);
              });
}

std::size_t LoadHashList(char const* path, std::list<FileHashPair>& records) {
    if (path == nullptr || *path == '\0') throw FileIOException("", "File name is empty", 0);
    return ReadLines(path, kHashListLine, "Can`t open HashList file for reading.",
                     "HashList read error.", [&](char const* text) {
                         if (text[0] == '\0' || text[0] == '[') return;
                         char const* eq = std::strchr(text, '=');
                         if (eq == nullptr)
                             throw FileIOException(path, "HashList format error", errno);
                         records.push_back(FileHashPair{std::string(text, eq),
                                                        std::string(eq + 1), std::string()});
                     });
}

}  // namespace HashFileChecker
