// Hash-file processing: the hash run that prints one tagged digest line per
// file, and the check of files against such a hash list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <list>
#include <ostream>
#include <string>

namespace HashFileChecker {

// The one exception type of file processing: system error number (or 0),
// the file concerned (or empty) and a fixed message.
class FileIOException : public std::exception {
public:
    FileIOException(char const* fileName, char const* message, unsigned int errCode)
        : ErrCode(errCode), FileName(fileName), Message(message) {}
    FileIOException(FileIOException const&) = default;
    char const* what() const noexcept override { return Message.c_str(); }

    std::uint32_t ErrCode;
    std::string FileName;
    std::string Message;
};

// One result of the hash run: the entry as given and the tagged digest text.
struct HashPair {
    std::string FileName;
    std::string HashText;
};

// One record of a hash list: the text before the first '=' and the text after it.
struct FileHashPair {
    std::string FileName;
    std::string HashText;
    std::string Reserved;
};

// Counters of a check; CheckFiles only adds to them.
struct Statistics {
    std::uint32_t Processed;
    std::uint32_t Errors;
    std::uint32_t NotFound;
    std::uint32_t AccessDenied;
};

// Told how a long run advances, for a progress display. The Hashed calls come
// from the hashing threads; Finished comes when hashing ends, also when the
// run fails. The hash run writes only after Finished; the check writes each
// finding as soon as it is known, between a Pause and a Resume on one thread.
class ProgressListener {
public:
    virtual ~ProgressListener() = default;
    virtual void Started(std::size_t files) = 0;
    virtual void BytesHashed(std::uint64_t bytes) = 0;
    virtual void FileHashed() = 0;
    virtual void Finished() = 0;
    virtual void Pause() {}
    virtual void Resume() {}
};

// Hashes one entry (isFileList false) or every entry of a file list with
// GOST R 34.11-2012 and writes "name=#GOST3411_256_2012:digits" lines to out.
// Any failure throws before anything is written.
void ProcessFiles(char const* text, bool isFileList, std::ostream& out);
void ProcessFiles(char const* text, bool isFileList, std::ostream& out, ProgressListener* progress);

// Checks records, writing each finding in record order as soon as it and
// every earlier record are done; with stopOnError one record at a time, so
// that none after the one that stops the check is opened. Returns 0, -1 (changed file or unknown algorithm),
// -2 (access denied) or -3 (missing); the last two only with stopOnError.
int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError);
int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError, ProgressListener* progress);
// Appends the records of the hash list at path, split at the first '='.
// Empty lines and lines starting with '[' are skipped. Returns 0 when the
// whole list was read, or the number (from 1) of a line over 4128 characters,
// which ends the reading.
std::size_t LoadHashList(char const* path, std::list<FileHashPair>& records);
// Reads the hash list at path (LoadHashList) and checks it with stopOnError false.
int CheckFiles(char const* path, std::ostream& out, Statistics* stats);
int CheckFiles(char const* path, std::ostream& out, Statistics* stats, ProgressListener* progress);

// Upper-case tagged digest of a file, by the algorithm that algText names
// (GOST R 34.11-2012 when it names none). False if the file cannot be read.
bool CalcHash(std::string const& fileName, std::string const& algText, std::string& result);

}  // namespace HashFileChecker
