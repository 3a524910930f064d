#include "checker/hashfile_checker.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "hash/hash.h"

// Tests build this file with ICV_SYSCALL_SEAM to inject failures of the calls below.
#ifdef ICV_SYSCALL_SEAM
#include "syscall_seam.h"
#define SYS(call) syscall_seam::call
#else
#define SYS(call) ::call
#endif

namespace HashFileChecker {

namespace {

constexpr std::size_t kBlockSize = 65536;
constexpr std::size_t kFileListLine = 8192;
constexpr std::size_t kHashListLine = 4128;

using FactoryPtr = std::unique_ptr<IHashFactory>;
using CalcPtr = std::unique_ptr<IHash_Calc>;
using HashPtr = std::unique_ptr<IHash>;

// An open file descriptor, closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { SYS(close)(fd_); }
    Descriptor(Descriptor const&) = delete;
    Descriptor& operator=(Descriptor const&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Feeds every byte of the named file to the calculator in 64 KiB blocks. The
// size is measured first and exactly that many bytes are hashed; a file that
// ends early is a read error. Opening never blocks (FIFOs fail at the seek).
void GetFileHash(char const* fileName, IHash_Calc& calc, ProgressListener* progress = nullptr) {
    int const opened = SYS(open)(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (opened < 0) throw FileIOException(fileName, "Can`t open File for reading.", errno);
    Descriptor const file(opened);

    off_t const size = SYS(lseek)(file.get(), 0, SEEK_END);
    if (size < 0 || SYS(lseek)(file.get(), 0, SEEK_SET) < 0)
        throw FileIOException(fileName, "File read error", errno);
    if (size == 0) return;
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    for (auto remaining = static_cast<std::uint64_t>(size); remaining != 0;) {
        std::size_t const want =
            remaining < kBlockSize ? static_cast<std::size_t>(remaining) : kBlockSize;
        // Fill the block; a read that delivers nothing ends the file early.
        for (std::size_t got = 0; got < want;) {
            errno = 0;
            ssize_t const n = SYS(read)(file.get(), buffer.get() + got, want - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw FileIOException(fileName, "File read error", n < 0 ? errno : 0);
            got += static_cast<std::size_t>(n);
        }
        calc.Update(buffer.get(), want);
        remaining -= want;
        if (progress) progress->BytesHashed(want);
    }
}

// Calls onLine with each line of a text file, up to its first NUL, for at most
// maxLine characters a line: a longer line ends the reading without a word.
// Failures to open or read are thrown with the given messages and errno.
template <class OnLine>
void ReadLines(char const* path, std::size_t maxLine, char const* openError, char const* readError,
               OnLine const& onLine) {
    std::ifstream in(path);
    if (!in.good()) throw FileIOException(path, openError, errno);
    errno = 0;  // a format error reports whatever errno holds: nothing stale
    std::unique_ptr<char[]> line(new char[maxLine + 1]);
    for (;;) {
        in.getline(line.get(), static_cast<std::streamsize>(maxLine + 1));
        if (in.fail()) {
            if (in.bad()) throw FileIOException(path, readError, errno);
            return;
        }
        onLine(static_cast<char const*>(line.get()));
    }
}

// Appends the non-empty lines of a file list; a line over 8192 characters
// ends the list.
void LoadFileList(char const* path, std::list<std::string>& entries) {
    ReadLines(path, kFileListLine, "Can`t open File List file for reading.",
              "File List read error.", [&](char const* text) {
                  if (text[0] != '\0') entries.emplace_back(text);
              });
}

// Appends the records of a hash list, split at the first '='. Empty lines and
// lines starting with '[' are skipped; a line over 4128 characters ends the list.
void LoadHashList(char const* path, std::list<FileHashPair>& records) {
    ReadLines(path, kHashListLine, "Can`t open HashList file for reading.", "HashList read error.",
              [&](char const* text) {
                  if (text[0] == '\0' || text[0] == '[') return;
                  char const* eq = std::strchr(text, '=');
                  if (eq == nullptr) throw FileIOException(path, "HashList format error", errno);
                  records.push_back(
                      FileHashPair{std::string(text, eq), std::string(eq + 1), std::string()});
              });
}

// The file an entry names: after the first '=', else after the last '/'.
std::string SourceName(std::string const& entry) {
    std::size_t eq = entry.find('=');
    if (eq != std::string::npos) return entry.substr(eq + 1);
    std::size_t slash = entry.rfind('/');
    return slash == std::string::npos ? entry : entry.substr(slash + 1);
}

// One line per pair: the name before the first '=', '=', the tagged digest.
void PrintHashes(std::list<HashPair> const& pairs, std::ostream& out) {
    for (auto const& p : pairs) {
        out.write(p.FileName.data(),
                  static_cast<std::streamsize>(std::min(p.FileName.find('='), p.FileName.size())));
        out << '=' << p.HashText << std::endl;
    }
}

// The processors this process may run on.
unsigned AvailableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

// Runs work(i) for every i below n on min(cores, n) threads, each taking the
// lowest index not yet taken. work returns true when its index ends the run:
// then no index above the lowest such one is started. work must not throw.
template <class Work>
void RunInIndexOrder(std::size_t n, Work const& work) {
    std::atomic<std::size_t> next{0}, end{n};
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < end.load();) {
            if (!work(i)) continue;
            for (std::size_t e = end.load(); i < e && !end.compare_exchange_weak(e, i);) {
            }
        }
    };
    std::vector<std::thread> helpers;
    std::size_t const threads = std::min<std::size_t>(AvailableCores(), n);
    for (std::size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(worker);
        } catch (std::system_error const&) {
            break;  // fewer threads, same result
        }
    }
    worker();
    for (auto& t : helpers) t.join();
}

// Brackets the hashing part of a run for a progress listener.
class ProgressScope {
public:
    ProgressScope(ProgressListener* listener, std::size_t files) : listener_(listener) {
        if (listener_) listener_->Started(files);
    }
    ~ProgressScope() { Finish(); }
    ProgressScope(ProgressScope const&) = delete;
    ProgressScope& operator=(ProgressScope const&) = delete;

    void Finish() {
        if (listener_) listener_->Finished();
        listener_ = nullptr;
    }

private:
    ProgressListener* listener_;
};

}  // namespace

void ProcessFiles(char const* text, bool isFileList, std::ostream& out) {
    ProcessFiles(text, isFileList, out, nullptr);
}

void ProcessFiles(char const* text, bool isFileList, std::ostream& out,
                  ProgressListener* progress) {
    if (text == nullptr || *text == '\0') throw FileIOException("", "File name is empty", 0);
    std::list<std::string> entries;
    if (isFileList)
        LoadFileList(text, entries);
    else
        entries.emplace_back(text);
    if (entries.empty()) throw FileIOException("", "No files to process", 0);

    // Hash every entry, on as many threads as there are cores and entries.
    std::vector<std::string*> byIndex;
    for (auto& entry : entries) byIndex.push_back(&entry);
    std::vector<std::string> texts(byIndex.size());
    std::vector<std::exception_ptr> failures(byIndex.size());
    {
        ProgressScope scope(progress, byIndex.size());
        FactoryPtr factory(createHashFactory(HashFileChecker::GOST_3411_2012));
        RunInIndexOrder(byIndex.size(), [&](std::size_t i) {
            try {
                CalcPtr calc(factory->createHashCalc());
                GetFileHash(SourceName(*byIndex[i]).c_str(), *calc, progress);
                HashPtr digest(factory->createHash(*calc, true));
                texts[i] = digest->ToStr(false, true);
                if (progress) progress->FileHashed();
                return false;
            } catch (...) {
                failures[i] = std::current_exception();
                return true;
            }
        });
    }
    // The first failure in entry order is the run's failure; nothing is printed.
    for (auto const& failure : failures)
        if (failure) std::rethrow_exception(failure);

    std::list<HashPair> pairs;
    for (std::size_t i = 0; i < byIndex.size(); ++i)
        pairs.push_back(HashPair{std::move(*byIndex[i]), std::move(texts[i])});
    PrintHashes(pairs, out);
}

namespace {

// What checking one record found, before anything is reported.
struct Finding {
    enum Kind { Unchecked, UnknownAlgorithm, Matches, Changed, Failed } kind = Unchecked;
    std::string newText;          // Changed: the digest computed now
    std::exception_ptr failure;   // Failed: what was thrown
    bool calculatorMade = false;  // counts as processed
};

// Checks one record; true when the check cannot go on past it.
bool Examine(FileHashPair const& record, bool stopOnError, ProgressListener* progress,
             Finding& finding) {
    try {
        FactoryPtr factory(createHashFactory(record.HashText));
        if (!factory) {
            finding.kind = Finding::UnknownAlgorithm;
            return stopOnError;
        }
        CalcPtr calc(factory->createHashCalc());
        finding.calculatorMade = true;
        try {
            GetFileHash(record.FileName.c_str(), *calc, progress);
        } catch (FileIOException const& e) {
            finding.kind = Finding::Failed;
            finding.failure = std::current_exception();
            return stopOnError || (e.ErrCode != EACCES && e.ErrCode != ENOENT);
        }
        HashPtr digest(factory->createHash(*calc, true));
        if (digest->Check(record.HashText, false) || digest->Check(record.HashText, true)) {
            finding.kind = Finding::Matches;
            return false;
        }
        finding.kind = Finding::Changed;
        finding.newText = digest->ToStr(false, true);
        return stopOnError;
    } catch (...) {
        finding.kind = Finding::Failed;
        finding.failure = std::current_exception();
        return true;
    }
}

}  // namespace

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError) {
    return CheckFiles(records, out, stats, stopOnError, nullptr);
}

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError, ProgressListener* progress) {
    // Hash in parallel first; then report in record order, as a single pass would.
    std::vector<FileHashPair const*> byIndex;
    for (auto const& record : records) byIndex.push_back(&record);
    std::vector<Finding> findings(byIndex.size());
    {
        ProgressScope scope(progress, byIndex.size());
        RunInIndexOrder(byIndex.size(), [&](std::size_t i) {
            bool last = Examine(*byIndex[i], stopOnError, progress, findings[i]);
            if (progress) progress->FileHashed();
            return last;
        });
    }

    int result = 0;
    for (std::size_t i = 0; i < byIndex.size(); ++i) {
        if (result != 0 && stopOnError) return result;
        FileHashPair const& record = *byIndex[i];
        Finding const& finding = findings[i];
        if (finding.kind == Finding::UnknownAlgorithm) {
            out << "Can't create hash calculator for " << record.FileName << " [" << record.HashText
                << "]." << std::endl;
            if (stats) ++stats->Errors;
            result = -1;
            continue;
        }
        if (stats && finding.calculatorMade) ++stats->Processed;
        if (finding.kind == Finding::Changed) {
            out << "File changed: " << record.FileName << " [" << finding.newText << "]."
                << std::endl;
            result = -1;
            if (stats) ++stats->Errors;
        } else if (finding.kind == Finding::Failed) {
            try {
                std::rethrow_exception(finding.failure);
            } catch (FileIOException const& caught) {
                FileIOException const e = caught;  // decided on, and passed on, as a copy
                if (e.ErrCode == EACCES) {
                    out << "Warning: File access denied: " << e.FileName << "." << std::endl;
                    if (stats) ++stats->AccessDenied;
                    if (stopOnError) result = -2;
                } else if (e.ErrCode == ENOENT) {
                    out << "Warning: File not found: " << e.FileName << "." << std::endl;
                    if (stats) ++stats->NotFound;
                    if (stopOnError) result = -3;
                } else {
                    throw e;
                }
            }
        }
    }
    return result;
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats) {
    return CheckFiles(path, out, stats, nullptr);
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats, ProgressListener* progress) {
    if (path == nullptr || *path == '\0') throw FileIOException("", "File name is empty", 0);
    std::list<FileHashPair> records;
    LoadHashList(path, records);
    return CheckFiles(records, out, stats, false, progress);
}

bool CalcHash(std::string const& fileName, std::string const& algText, std::string& result) {
    FactoryPtr factory(createHashFactory(algText));
    if (!factory) factory.reset(createHashFactory(HashFileChecker::GOST_3411_2012));
    if (!factory) return false;
    CalcPtr calc(factory->createHashCalc());
    try {
        GetFileHash(fileName.c_str(), *calc);
    } catch (FileIOException const&) {
        return false;
    }
    HashPtr digest(factory->createHash(*calc, true));
    result = digest->ToStr(true, true);
    return true;
}

}  // namespace HashFileChecker
