// The check: every record of a hash list recomputed with the algorithm its
// tag names, findings reported in record order as soon as they are known.
#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>
#include <vector>

#include "checker/hashfile_checker.h"
#include "checker/block_reader.h"
#include "checker/engine.h"
#include "checker/progress_scope.h"

namespace HashFileChecker {

namespace {

// What checking one record found, before anything is reported.
struct Finding {
    enum Kind { Unchecked, UnknownAlgorithm, Matches, Changed, AccessDenied, NotFound, Fatal };
    Kind kind = Unchecked;
    bool calculatorMade = false;  // counts as processed
    std::string text;             // Changed: the digest computed now; a warning: the file's name
    std::exception_ptr fatal;     // Fatal: what ends the check
};

// The file a record names, below root.
std::string Rooted(std::string const& root, std::string const& name) {
    return root + (name.empty() || name[0] != '/' ? "/" : "") + name;
}

// Each record's file recomputed with the algorithm its digest text names and
// compared; the findings written in record order.
class RecordCheck : public FileRun {
public:
    RecordCheck(std::vector<FileHashPair const*> const& records, std::ostream& out,
                Statistics* stats, CheckOptions const& options)
        : records_(records), findings_(records.size()), out_(out), stats_(stats), options_(options) {}

    bool Prepare(HashJob& job) override {
        FileHashPair const& record = *records_[job.index];
        Finding& finding = findings_[job.index];
        job.factory.reset(createHashFactory(record.HashText));
        if (!job.factory) {
            finding.kind = Finding::UnknownAlgorithm;
            return false;
        }
        job.calc.reset(job.factory->createHashCalc());
        finding.calculatorMade = true;
        job.fileName = options_.root.empty() ? record.FileName : Rooted(options_.root, record.FileName);
        return true;
    }

    bool Conclude(HashJob& job) override {
        Finding& finding = findings_[job.index];
        try {
            return Conclude(*records_[job.index], job, finding);
        } catch (...) {
            finding.kind = Finding::Fatal;
            finding.fatal = std::current_exception();
            return true;
        }
    }

    bool Report(std::size_t i) override {
        FileHashPair const& record = *records_[i];
        Finding finding = std::move(findings_[i]);
        bool const ignored = finding.kind == Finding::NotFound && !options_.reportMissing;
        if (stats_ && finding.calculatorMade && !ignored) ++stats_->Processed;
        std::string line;
        switch (finding.kind) {
            case Finding::Fatal:
                std::rethrow_exception(finding.fatal);
            case Finding::UnknownAlgorithm:
                line = "Can't create hash calculator for " + record.FileName + " [" +
                       record.HashText + "].";
                Count(&Statistics::Errors, -1);
                break;
            case Finding::Changed:
                line = "File changed: " + record.FileName + " [" + finding.text + "].";
                Count(&Statistics::Errors, -1);
                break;
            case Finding::AccessDenied:
                line = "Warning: File access denied: " + finding.text + ".";
                Count(&Statistics::AccessDenied, options_.stopOnError ? -2 : 0);
                break;
            case Finding::NotFound:
                if (ignored) break;
                line = "Warning: File not found: " + finding.text + ".";
                Count(&Statistics::NotFound, options_.stopOnError ? -3 : 0);
                break;
            default:
                break;
        }
        if (!line.empty()) {
            PausedProgress paused(options_.progress);
            out_ << line << std::endl;
        }
        return result_ != 0 && options_.stopOnError;
    }

    int Result() const { return result_; }

private:
    // One more of a counter; a result other than 0 becomes the check's.
    void Count(std::uint32_t Statistics::*counter, int result) {
        if (stats_) ++(stats_->*counter);
        if (result != 0) result_ = result;
    }

    // The finding of a record whose file was read whole or failed; true when
    // the check cannot go on past it.
    bool Conclude(FileHashPair const& record, HashJob const& job, Finding& finding) {
        if (!job.calc && !job.failure) return options_.stopOnError;  // no algorithm: nothing read
        bool const warning = job.errCode == EACCES || job.errCode == ENOENT;
        if (job.failure && !warning) {
            finding.kind = Finding::Fatal;
            finding.fatal = job.failure;
            return true;
        }
        if (job.failure) {
            finding.kind = job.errCode == EACCES ? Finding::AccessDenied : Finding::NotFound;
            // The name the file was opened under, as the failure gives it, less the root.
            try {
                std::rethrow_exception(job.failure);
            } catch (FileIOException const& e) {
                std::size_t const rootSize = job.fileName.size() - record.FileName.size();
                finding.text = e.FileName.substr(std::min(rootSize, e.FileName.size()));
            }
            return options_.stopOnError;
        }
        std::unique_ptr<IHash> digest(job.factory->createHash(*job.calc, true));
        if (digest->Check(record.HashText, false) || digest->Check(record.HashText, true)) {
            finding.kind = Finding::Matches;
            return false;
        }
        finding.kind = Finding::Changed;
        finding.text = digest->ToStr(false, true);
        return options_.stopOnError;
    }

    std::vector<FileHashPair const*> const& records_;
    std::vector<Finding> findings_;
    std::ostream& out_;
    Statistics* stats_;
    CheckOptions const& options_;
    int result_ = 0;
};

}  // namespace

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError) {
    CheckOptions options;
    options.stopOnError = stopOnError;
    return CheckFiles(records, out, stats, options);
}

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               CheckOptions const& options) {
    std::vector<FileHashPair const*> byIndex;
    byIndex.reserve(records.size());
    for (auto const& record : records) byIndex.push_back(&record);
    RecordCheck check(byIndex, out, stats, options);
    HashInIndexOrder(byIndex.size(), check, options.stopOnError, options.progress);
    return check.Result();
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
    int result = 0;
    while (ReadWindow(reader, window, records)) {
        int const r = CheckFiles(window, out, stats, options);
        if (r != 0) result = r;
        if (result != 0 && options.stopOnError) break;
    }
    return result;
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
