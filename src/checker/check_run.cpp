// The check: every record of a hash list recomputed with the algorithm its
// tag names, findings reported in record order as soon as they are known.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "checker/hashfile_checker.h"
#include "checker/block_reader.h"
#include "checker/engine.h"
#include "checker/progress_scope.h"
#include "checker/rooted_open.h"

namespace HashFileChecker {

namespace {

// Why a file cannot be checked, from what reading it threw.
std::string UnreadableReason(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (NotRegularFile const& e) {
        switch (e.Type) {
            case S_IFDIR: return "a directory";
            case S_IFIFO: return "a FIFO";
            case S_IFSOCK: return "a socket";
            default: return "a device";
        }
    } catch (FileIOException const& e) {
        switch (e.ErrCode) {
            case ELOOP: return "a symlink loop";
            case ENOTDIR: return "a path through something that is not a directory";
            case ENXIO: return "a socket";
            case 0: return e.Message;  // ended early
            default: return std::strerror(static_cast<int>(e.ErrCode));
        }
    }
}

// Each record's file recomputed with the algorithm its digest text names and
// compared; the findings counted and handed on in record order.
class RecordCheck : public FileRun {
public:
    RecordCheck(std::vector<FileHashPair const*> const& records, std::ostream& out,
                Verdict& verdict, CheckOptions const& options, int rootFd)
        : records_(records), pending_(records.size()), out_(out), verdict_(verdict),
          options_(options), rootFd_(rootFd) {}

    bool Prepare(HashJob& job) override {
        FileHashPair const& record = *records_[job.index];
        job.factory.reset(createHashFactory(record.HashText));
        if (!job.factory) {
            pending_[job.index].finding.kind = Finding::UnknownAlgorithm;
            return false;
        }
        job.calc.reset(job.factory->createHashCalc());
        job.fileName = record.FileName;
        job.rootFd = rootFd_;
        job.regularOnly = options_.goOn;
        return true;
    }

    bool Conclude(HashJob& job) override {
        Pending& pending = pending_[job.index];
        try {
            Conclude(*records_[job.index], job, pending);
        } catch (...) {
            pending.failure = std::current_exception();
        }
        bool const ended = pending.failure && pending.finding.kind != Finding::Unreadable;
        return ended || verdict_.Stops(pending.finding.kind);
    }

    bool Report(std::size_t i) override {
        Pending pending = std::move(pending_[i]);
        Finding& finding = pending.finding;
        if (pending.failure && finding.kind != Finding::Unreadable) {
            verdict_.CountEnded();
            std::rethrow_exception(pending.failure);
        }
        if (verdict_.Ignores(finding.kind)) return false;
        bool const stops = verdict_.Count(finding.kind);
        if (finding.kind == Finding::Unreadable) finding.reason = UnreadableReason(pending.failure);
        if (finding.kind != Finding::NotFound && finding.kind != Finding::AccessDenied)
            finding.name = records_[i]->FileName;
        if (finding.kind == Finding::UnknownAlgorithm) finding.digest = records_[i]->HashText;
        if (options_.onFinding || finding.kind != Finding::Matches) {
            PausedProgress paused(finding.kind != Finding::Matches ? options_.progress : nullptr);
            if (options_.onFinding)
                options_.onFinding(finding);
            else
                out_ << FindingLine(finding) << std::endl;
        }
        return stops;
    }

private:
    // A record's finding until it is reported, or what ended the check there.
    struct Pending {
        Finding finding;
        std::exception_ptr failure;
    };

    // The finding of a record whose file was read whole or failed.
    void Conclude(FileHashPair const& record, HashJob const& job, Pending& pending) {
        Finding& finding = pending.finding;
        if (!job.calc && !job.failure) return;  // no algorithm: nothing read
        if (job.failure) {
            try {
                std::rethrow_exception(job.failure);
            } catch (FileIOException const& e) {
                if (e.ErrCode == ENOENT || e.ErrCode == EACCES) {
                    finding.kind = e.ErrCode == EACCES ? Finding::AccessDenied : Finding::NotFound;
                    finding.name = e.FileName;  // the name the file was opened under
                    return;
                }
                if (options_.goOn) finding.kind = Finding::Unreadable;
            } catch (...) {
            }
            pending.failure = job.failure;  // the reason, or what ends the check
            return;
        }
        std::unique_ptr<IHash> digest(job.factory->createHash(*job.calc, true));
        if (digest->Check(record.HashText, false) || digest->Check(record.HashText, true)) {
            finding.kind = Finding::Matches;
            return;
        }
        finding.kind = Finding::Changed;
        finding.digest = digest->ToStr(false, true);
    }

    std::vector<FileHashPair const*> const& records_;
    std::vector<Pending> pending_;
    std::ostream& out_;
    Verdict& verdict_;
    CheckOptions const& options_;
    int rootFd_;
};

}  // namespace

void CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Verdict& verdict,
                CheckOptions const& options) {
    std::vector<FileHashPair const*> byIndex;
    byIndex.reserve(records.size());
    for (auto const& record : records) byIndex.push_back(&record);
    RootDirectory const root(options.root);
    RecordCheck check(byIndex, out, verdict, options, root.Fd());
    HashInIndexOrder(byIndex.size(), check, options.stopOnError, options.progress);
}

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError) {
    CheckOptions options;
    options.stopOnError = stopOnError;
    return CheckFiles(records, out, stats, options);
}

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               CheckOptions const& options) {
    Verdict verdict(options, stats);
    CheckFiles(records, out, verdict, options);
    return verdict.Result();
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats) {
    return CheckFiles(path, out, stats, CheckOptions());
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats,
               CheckOptions const& options) {
    if (path == nullptr || *path == '\0') throw FileIOException("", "File name is empty", 0);
    auto const records = [&](HashListReader::Kind kind, FileHashPair const&) {
        if (kind == HashListReader::Unsplit) ThrowFormatError(path);
        return true;
    };
    // The whole list is read once first: a format error ends the check before
    // any file is read.
    std::size_t count = 0;
    std::list<FileHashPair> window;
    for (HashListReader scan(path); ReadWindow(scan, window, records);) count += window.size();
    ProgressScope scope(options.progress, count);
    HashListReader reader(path);
    Verdict verdict(options, stats);
    while (!verdict.Stopped() && ReadWindow(reader, window, records))
        CheckFiles(window, out, verdict, options);
    return verdict.Result();
}

bool CalcHash(std::string const& fileName, std::string const& algText, std::string& result) {
    std::unique_ptr<IHashFactory> factory(createHashFactory(algText));
    if (!factory) factory.reset(createHashFactory(GOST_3411_2012));
    std::unique_ptr<IHash_Calc> calc(factory->createHashCalc());
    try {
        GetFileHash(fileName.c_str(), *calc);
    } catch (FileIOException const&) {
        return false;
    }
    std::unique_ptr<IHash> digest(factory->createHash(*calc, true));
    result = digest->ToStr(true, true);
    return true;
}

}  // namespace HashFileChecker
