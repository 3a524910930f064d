#include "checker/read_lists.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

#include "checker/hashfile_checker.h"

namespace HashFileChecker {

namespace {

// Reads a text file a line at a time, each of at most maxLine characters.
// Failures to read are thrown with the given message and the error number.
class LineReader {
public:
    LineReader(std::istream& in, std::size_t maxLine) : in_(in), line_(maxLine + 1) {}

    enum Result { Line, TooLong, End };
    Result Read(char const* path, char const* readError) {
        in_.getline(line_.data(), static_cast<std::streamsize>(line_.size()));
        if (!in_.fail()) {
            // The newline, when there was one, was read but not kept.
            size_ = static_cast<std::size_t>(in_.gcount()) - (in_.eof() ? 0 : 1);
            return Line;
        }
        if (in_.bad()) {
            int const err = errno;
            throw FileIOException(path, readError, err);
        }
        return in_.eof() ? End : TooLong;
    }
    // The line read last: Size() characters, NULs among them.
    char const* Text() const { return line_.data(); }
    std::size_t Size() const { return size_; }

private:
    std::istream& in_;
    std::vector<char> line_;  // the longest line and its NUL
    std::size_t size_ = 0;
};

}  // namespace

void LoadFileList(char const* path, std::string& text, std::vector<std::size_t>& starts) {
    std::ifstream in(path);
    if (!in.good()) {
        int const err = errno;
        throw FileIOException(path, "Can`t open File List file for reading.", err);
    }
    // The entries take about the list's own size.
    struct stat st;
    if (stat(path, &st) == 0 && S_ISREG(st.st_mode)) text.reserve(text.size() + st.st_size + 1);
    LineReader lines(in, kFileListLine);
    while (lines.Read(path, "File List read error.") == LineReader::Line) {
        std::size_t const size = std::strlen(lines.Text());
        if (size == 0) continue;
        starts.push_back(text.size());
        text.append(lines.Text(), size + 1);
    }
}

struct HashListReader::Source {
    std::ifstream file;
    std::istream& in;
    LineReader lines;
    Source(char const* path, std::size_t maxLine) : file(path), in(file), lines(in, maxLine) {}
    Source(std::istream& stream, std::size_t maxLine) : in(stream), lines(in, maxLine) {}
};

HashListReader::HashListReader(char const* path, std::size_t maxLine) : source_(nullptr), name_(path) {
    std::unique_ptr<Source> source(new Source(path, maxLine));
    if (!source->file.good()) {
        int const err = errno;
        throw FileIOException(path, "Can`t open HashList file for reading.", err);
    }
    source_ = source.release();
    errno = 0;  // a format error reports whatever errno holds: nothing stale
}

HashListReader::HashListReader(std::istream& in, char const* name, std::size_t maxLine)
    : source_(new Source(in, maxLine)), name_(name) {}

HashListReader::~HashListReader() {
    delete source_;
}

HashListReader::Kind HashListReader::ReadLine(FileHashPair& record) {
    if (ended_) return End;
    ++number_;
    switch (source_->lines.Read(name_.c_str(), "HashList read error.")) {
        case LineReader::TooLong:
            ended_ = true;
            return TooLong;
        case LineReader::End:
            ended_ = true;
            return End;
        case LineReader::Line:
            break;
    }
    line_.assign(source_->lines.Text(), source_->lines.Size());
    std::size_t const end = std::min(line_.find('\0'), line_.size());
    if (end == 0 || line_[0] == '[') return Skipped;
    std::size_t const eq = line_.find('=');
    if (eq >= end) return Unsplit;
    record.FileName.assign(line_, 0, eq);
    record.HashText.assign(line_, eq + 1, end - eq - 1);
    record.Reserved.clear();
    return Record;
}

void ThrowFormatError(char const* list) {
    int const err = errno;  // before the exception is made
    throw FileIOException(list, "HashList format error", err);
}

bool ReadWindow(HashListReader& reader, std::list<FileHashPair>& window, AcceptLine const& accept) {
    window.clear();
    std::size_t text = 0;
    for (FileHashPair record; window.size() < kWindowRecords && text < kWindowBytes;) {
        HashListReader::Kind const kind = reader.ReadLine(record);
        bool const keep = accept(kind, record);
        if (kind == HashListReader::End || kind == HashListReader::TooLong) break;
        if (kind == HashListReader::Record && keep) {
            text += record.FileName.size() + record.HashText.size();
            window.push_back(std::move(record));
        }
    }
    return !window.empty();
}

std::size_t LoadHashList(char const* path, std::list<FileHashPair>& records) {
    if (path == nullptr || *path == '\0') throw FileIOException("", "File name is empty", 0);
    HashListReader reader(path);
    for (FileHashPair record;;) {
        switch (reader.ReadLine(record)) {
            case HashListReader::Record:
                records.push_back(std::move(record));
                break;
            case HashListReader::Skipped:
                break;
            case HashListReader::Unsplit:
                ThrowFormatError(path);
            case HashListReader::TooLong:
                return reader.LineNumber();
            case HashListReader::End:
                return 0;
        }
    }
}

}  // namespace HashFileChecker
