#include "checker/hashfile_checker.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

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

// Feeds every byte of the named file to the calculator in 64 KiB blocks. The
// size is measured first and exactly that many bytes are hashed; a file that
// ends early is a read error. Opening never blocks (FIFOs fail at the seek).
void GetFileHash(char const* fileName, IHash_Calc& calc) {
    int fd = SYS(open)(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw FileIOException(fileName, "Can`t open File for reading.", errno);

    auto fail = [&](int err) {
        SYS(close)(fd);
        return FileIOException(fileName, "File read error", err);
    };
    off_t size = SYS(lseek)(fd, 0, SEEK_END);
    if (size < 0 || SYS(lseek)(fd, 0, SEEK_SET) < 0) throw fail(errno);
    if (size == 0) {
        SYS(close)(fd);
        return;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    auto remaining = static_cast<std::uint64_t>(size);
    while (remaining != 0) {
        std::size_t want =
            remaining < kBlockSize ? static_cast<std::size_t>(remaining) : kBlockSize;
        // Fill the block; a read that delivers nothing ends the file early.
        std::size_t got = 0;
        while (got < want) {
            errno = 0;
            ssize_t n = SYS(read)(fd, buffer.get() + got, want - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw fail(n < 0 ? errno : 0);
            got += static_cast<std::size_t>(n);
        }
        calc.Update(buffer.get(), got);
        remaining -= got;
    }
    SYS(close)(fd);
}

// Appends the non-empty lines of a file list; a line over 8192 characters
// ends the list.
void LoadFileList(char const* path, std::list<std::string>& entries) {
    std::ifstream in(path);
    if (!in.good()) throw FileIOException(path, "Can`t open File List file for reading.", errno);
    std::unique_ptr<char[]> line(new char[kFileListLine + 1]);
    for (;;) {
        in.getline(line.get(), kFileListLine + 1);
        if (in.fail()) {
            if (in.bad()) throw FileIOException(path, "File List read error.", errno);
            break;
        }
        if (line[0] != '\0') entries.emplace_back(line.get());
    }
}

// Appends the records of a hash list, split at the first '='. Empty lines and
// lines starting with '[' are skipped; a line over 4128 characters ends the list.
void LoadHashList(char const* path, std::list<FileHashPair>& records) {
    std::ifstream in(path);
    if (!in.good()) throw FileIOException(path, "Can`t open HashList file for reading.", errno);
    errno = 0;  // a format error reports whatever errno holds: nothing stale
    std::unique_ptr<char[]> line(new char[kHashListLine + 1]);
    for (;;) {
        in.getline(line.get(), kHashListLine + 1);
        if (in.fail()) {
            if (in.bad()) throw FileIOException(path, "HashList read error.", errno);
            break;
        }
        char const* text = line.get();
        if (text[0] == '\0' || text[0] == '[') continue;
        char const* eq = std::strchr(text, '=');
        if (eq == nullptr) throw FileIOException(path, "HashList format error", errno);
        records.push_back(FileHashPair{std::string(text, eq), std::string(eq + 1), std::string()});
    }
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

}  // namespace

void ProcessFiles(char const* text, bool isFileList, std::ostream& out) {
    if (text == nullptr || *text == '\0') throw FileIOException("", "File name is empty", 0);
    std::list<std::string> entries;
    if (isFileList)
        LoadFileList(text, entries);
    else
        entries.emplace_back(text);
    if (entries.empty()) throw FileIOException("", "No files to process", 0);

    std::list<HashPair> pairs;
    {
        FactoryPtr factory(createHashFactory(HashFileChecker::GOST_3411_2012));
        for (auto const& entry : entries) {
            CalcPtr calc(factory->createHashCalc());
            GetFileHash(SourceName(entry).c_str(), *calc);
            HashPtr digest(factory->createHash(*calc, true));
            pairs.push_back(HashPair{entry, digest->ToStr(false, true)});
        }
    }
    PrintHashes(pairs, out);
}

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError) {
    int result = 0;
    for (auto const& record : records) {
        if (result != 0 && stopOnError) return result;

        FactoryPtr factory(createHashFactory(record.HashText));
        if (!factory) {
            out << "Can't create hash calculator for " << record.FileName << " [" << record.HashText
                << "]." << std::endl;
            if (stats) ++stats->Errors;
            result = -1;
            continue;
        }
        CalcPtr calc(factory->createHashCalc());
        if (stats) ++stats->Processed;
        try {
            GetFileHash(record.FileName.c_str(), *calc);
            HashPtr digest(factory->createHash(*calc, true));
            if (!digest->Check(record.HashText, false) && !digest->Check(record.HashText, true)) {
                out << "File changed: " << record.FileName << " [" << digest->ToStr(false, true)
                    << "]." << std::endl;
                result = -1;
                if (stats) ++stats->Errors;
            }
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
    return result;
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats) {
    if (path == nullptr || *path == '\0') throw FileIOException("", "File name is empty", 0);
    std::list<FileHashPair> records;
    LoadHashList(path, records);
    return CheckFiles(records, out, stats, false);
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
