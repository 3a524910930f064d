// Hash-file processing: the hash run that prints one tagged digest line per
// file, and the check of files against such a hash list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <istream>
#include <list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace HashFileChecker {

// The limits of lists and runs, each named once.
constexpr std::size_t kFileListLine = 8192;     // characters of a file-list line
constexpr std::size_t kHashListLine = 4128;     // characters of a hash-list line, path form
// Characters of a hash-list line where a whole list is read back (icv_check):
// room for every line a writer can print, whose longest name is the longest
// argument Linux passes to a program (128 KiB).
constexpr std::size_t kLongHashListLine = 262144;
constexpr std::size_t kWindowRecords = 4096;    // records checked at a time
constexpr std::size_t kWindowBytes = 1 << 20;   // text of the records checked at a time
constexpr std::size_t kOutputBlock = 1 << 20;   // bytes of a hash run's output at a time
constexpr std::size_t kReadBlock = 65536;       // bytes of a file read at a time

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

// Told how a long run advances, for a progress display. The run's owner
// (ProcessFiles, the path form of CheckFiles, or the caller of the list form)
// announces Started and Finished, Finished also when the run fails. The other
// calls come from the hashing threads: FileSized once a file is open,
// BytesHashed as its blocks go through, FileHashed when its result is known.
// A line written while files are still being hashed comes between a Pause and
// a Resume on one thread.
class ProgressListener {
public:
    virtual ~ProgressListener() = default;
    virtual void Started(std::size_t files) = 0;
    virtual void FileSized(std::uint64_t /*bytes*/) {}
    virtual void BytesHashed(std::uint64_t bytes) = 0;
    virtual void FileHashed() = 0;
    virtual void Finished() = 0;
    virtual void Pause() {}
    virtual void Resume() {}
};

// What checking one record found, as data.
struct Finding {
    enum Kind {
        Matches,           // the file's digest is the recorded one
        Changed,           // it is not
        UnknownAlgorithm,  // the digest text names no algorithm
        NotFound,          // no such file (error 2)
        AccessDenied,      // not readable for lack of permission (error 13)
        Unreadable,        // not a regular file any more, or failing to read
        Added,             // a file of the tree that no list names
        Unlistable,        // a file of the tree whose name no list can hold: not checked
    };
    Kind kind = Matches;
    std::string name;    // as recorded; NotFound, AccessDenied: as opened (up to a NUL)
    std::string digest;  // Changed: the digest computed now, lower case and tagged;
                         // UnknownAlgorithm: the recorded text
    std::string reason;  // Unreadable: what the file is now, or why it fails;
                         // Unlistable: why no list can hold the name
};

// Why a hash list cannot hold a name as recorded, or null: an '=' (it would
// end the name), a line break, a leading '[' (every check skips such a line),
// more than the longest name a check can open.
char const* UnlistableReason(std::string_view name);

// The line a check writes for a finding, without its newline; empty for a match.
std::string FindingLine(Finding const& finding);

// How a check runs.
struct CheckOptions {
    // Stop at the first record that sets a non-zero result, checking one
    // record at a time so that none after it is opened; missing and
    // unreadable files then fail the check.
    bool stopOnError = false;
    // False: a missing file is neither written nor counted, not even as processed.
    bool reportMissing = true;
    // Every recorded name, and every symlink on its way, is resolved as if
    // root were "/": nothing outside it is read. Findings show the recorded names.
    std::string root;
    // A record whose file is no longer a regular file (a directory, FIFO,
    // socket, device, a symlink loop, a path through something that is not a
    // directory) or fails to read is an Unreadable finding and the check goes
    // on, instead of ending with the exception. Nothing blocks on a FIFO or
    // reads a device.
    bool goOn = false;
    // Set: every finding but an ignored missing file is handed to it, in
    // record order, and nothing is written to the stream.
    std::function<void(Finding const&)> onFinding;
    ProgressListener* progress = nullptr;
};

// Folds the findings of a check into its counters and its result: the one
// place where an outcome is decided, for one call or across many (windows of
// a long list, several lists).
class Verdict {
public:
    // Counts into stats too, when not null. malformedFails: lines that are not
    // well-formed records fail the check.
    Verdict(CheckOptions const& options, Statistics* stats, bool malformedFails = false);

    // A finding that is neither counted nor reported (a missing file, where
    // missing files are not reported).
    bool Ignores(Finding::Kind kind) const;
    // Whether a finding of this kind stops the check (stopOnError).
    bool Stops(Finding::Kind kind) const;
    // Counts a finding; true when the check stops at it.
    bool Count(Finding::Kind kind);
    // A record whose check ended with an exception: it was processed.
    void CountEnded();
    // A hash-list line that is not a well-formed record.
    void CountMalformed();

    // CheckFiles' result: 0, -1 (changed, unknown algorithm, unreadable,
    // added), -2 (access denied) or -3 (missing), the last two only with
    // stopOnError; the first such finding with stopOnError, else the last.
    int Result() const { return result_; }
    bool Stopped() const { return result_ != 0 && stopOnError_; }
    enum Outcome { AllGood, Failed, NothingVerified };
    // AllGood: every file verified, none missing, unreadable or added, no
    // malformed line where those fail; NothingVerified: only that no file was
    // there to verify.
    Outcome Overall() const;
    Statistics const& Counted() const { return counted_; }
    std::size_t Added() const { return added_; }

private:
    void Add(std::uint32_t Statistics::*counter);

    bool stopOnError_, reportMissing_, malformedFails_;
    Statistics* stats_;
    Statistics counted_ = {0, 0, 0, 0};
    std::size_t added_ = 0, malformed_ = 0;
    int result_ = 0;
};

// Hashes one entry (isFileList false) or every entry of a file list with
// GOST R 34.11-2012 and writes "name=#GOST3411_256_2012:digits" lines to out.
// Any failure throws before anything is written.
void ProcessFiles(char const* text, bool isFileList, std::ostream& out);
void ProcessFiles(char const* text, bool isFileList, std::ostream& out, ProgressListener* progress);

// The same run in steps, for a caller that writes the lines itself: the
// entries are loaded, then every one is hashed, then the lines are formatted a
// block at a time. Holds the entries and 32 bytes per entry.
class HashRun {
public:
    // Loads one entry or the entries of a file list; throws as ProcessFiles.
    HashRun(char const* text, bool isFileList);
    // The files of a tree: the names in text (each ended by a NUL, beginning
    // at starts) are recorded as they are; each is read as itself less its
    // first prefixSize characters, as if the directory rootFd were "/", and
    // must be a regular file (or lead to one).
    HashRun(std::string text, std::vector<std::size_t> starts, int rootFd, std::size_t prefixSize);
    ~HashRun();
    HashRun(HashRun const&) = delete;
    HashRun& operator=(HashRun const&) = delete;

    std::size_t Count() const { return starts_.size(); }
    // Entry i as given, and the name it records: its text before the first '='.
    std::string_view Entry(std::size_t i) const;
    std::string_view RecordedName(std::size_t i) const;
    // The file entry i reads, below RootFd() for a tree (-1 for none).
    std::string SourceName(std::size_t i) const;
    int RootFd() const { return rootFd_; }
    // Hashes every entry on every core; throws the failure of the earliest
    // entry that failed, and then nothing can be written.
    void Hash(ProgressListener* progress);
    // The exact number of bytes Write gives.
    std::uint64_t OutputSize() const;
    // Formats the lines in entry order into blocks of up to kOutputBlock bytes
    // and hands each to write.
    void Write(std::function<void(char const* data, std::size_t size)> const& write) const;

private:
    std::string text_;                  // the entries, each ended by a NUL
    std::vector<std::size_t> starts_;   // where each entry begins in text_
    int rootFd_ = -1;                   // a tree's
    std::size_t prefixSize_ = 0;
    std::string tag_;                   // "#GOST3411_256_2012:"
    std::vector<unsigned char> digests_;
    std::size_t digestSize_ = 0;
};

// Checks records, writing each finding in record order as soon as it and
// every earlier record are done. Returns 0, -1 (changed file or unknown
// algorithm), -2 (access denied) or -3 (missing); the last two only with
// stopOnError.
int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError);
int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               CheckOptions const& options);
// Checks records into a verdict that goes on across calls.
void CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Verdict& verdict,
                CheckOptions const& options);
// A pointer (a progress listener, say) is no stopOnError: it goes in CheckOptions.
template <class T>
int CheckFiles(std::list<FileHashPair> const&, std::ostream&, Statistics*, T*) = delete;

// Reads a hash list line by line, holding only the line at hand.
class HashListReader {
public:
    enum Kind {
        Record,    // a line split at its first '='
        Skipped,   // an empty line, or one that begins with '['
        Unsplit,   // any other line without '='
        TooLong,   // a line over the reader's limit: it and all after it are not read
        End,       // the end of the list
    };
    // Opens the list at path; throws if it cannot be opened. Lines hold at
    // most maxLine characters.
    explicit HashListReader(char const* path, std::size_t maxLine = kHashListLine);
    // Reads an open stream (standard input); name is the list's name in failures.
    HashListReader(std::istream& in, char const* name, std::size_t maxLine = kHashListLine);
    ~HashListReader();
    HashListReader(HashListReader const&) = delete;
    HashListReader& operator=(HashListReader const&) = delete;

    // Reads the next line and fills record when it is a Record; the line is
    // taken up to its first NUL. Throws a read error; after TooLong or End,
    // gives End.
    Kind ReadLine(FileHashPair& record);
    // The line read last, all of it (NULs too), and its number from 1.
    std::string const& Line() const { return line_; }
    std::size_t LineNumber() const { return number_; }

private:
    struct Source;
    Source* source_;
    std::string name_;
    std::string line_;
    std::size_t number_ = 0;
    bool ended_ = false;
};

// Throws the format error of a list (a line without '='); a format error has
// no system error of its own, so its code is whatever errno holds.
[[noreturn]] void ThrowFormatError(char const* list);

// Fills window (emptied first) with the next records of a list, until it holds
// kWindowRecords of them or kWindowBytes of text or more. accept(kind, record) is asked about every line
// read: a Record joins the window when it answers true; for the other kinds the
// answer is ignored, but it may throw: then window holds the records accepted
// before that line. False when no record was left.
using AcceptLine = std::function<bool(HashListReader::Kind, FileHashPair const&)>;
bool ReadWindow(HashListReader& reader, std::list<FileHashPair>& window, AcceptLine const& accept);

// Appends the records of the hash list at path, split at the first '='.
// Empty lines and lines starting with '[' are skipped. Returns 0 when the
// whole list was read, or the number (from 1) of a line over kHashListLine characters,
// which ends the reading.
std::size_t LoadHashList(char const* path, std::list<FileHashPair>& records);
// Checks the hash list at path with stopOnError false. The whole list is read
// for format errors before any file is; then it is checked a window of records
// at a time, so memory does not grow with its length.
int CheckFiles(char const* path, std::ostream& out, Statistics* stats);
int CheckFiles(char const* path, std::ostream& out, Statistics* stats,
               CheckOptions const& options);

// Upper-case tagged digest of a file, by the algorithm that algText names
// (GOST R 34.11-2012 when it names none). False if the file cannot be read.
bool CalcHash(std::string const& fileName, std::string const& algText, std::string& result);

}  // namespace HashFileChecker
