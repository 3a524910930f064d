// The check: every record of a hash list recomputed with the algorithm its
// tag names, findings reported in record order as soon as they are known.
#include <algorithm>
#include <cerrno>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "checker/hashfile_checker.h"
#include "checker/parallel_runner.h"
#include "checker/progress_scope.h"
#include "checker/read_file.h"

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

// Whether a file's failure ends the check: anything but a missing file or
// one that may not be read.
bool EndsCheck(HashJob const& job) {
    return job.failure && job.errCode != EACCES && job.errCode != ENOENT;
}

// The finding of a record whose file was read whole or failed; true when the
// check cannot go on past it.
bool Conclude(FileHashPair const& record, HashJob const& job, bool stopOnError,
              std::size_t rootSize, Finding& finding) {
    if (EndsCheck(job)) {
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
            finding.text = e.FileName.substr(std::min(rootSize, e.FileName.size()));
        }
        return stopOnError;
    }
    std::unique_ptr<IHash> digest(job.factory->createHash(*job.calc, true));
    if (digest->Check(record.HashText, false) || digest->Check(record.HashText, true)) {
        finding.kind = Finding::Matches;
        return false;
    }
    finding.kind = Finding::Changed;
    finding.text = digest->ToStr(false, true);
    return stopOnError;
}

}  // namespace

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               bool stopOnError) {
    CheckOptions options;
    options.stopOnError = stopOnError;
    return CheckFiles(records, out, stats, options);
}

int CheckFiles(std::list<FileHashPair> const& records, std::ostream& out, Statistics* stats,
               CheckOptions const& options) {
    bool const stopOnError = options.stopOnError;
    ProgressListener* const progress = options.progress;
    std::vector<FileHashPair const*> byIndex;
    for (auto const& record : records) byIndex.push_back(&record);
    std::vector<Finding> findings(byIndex.size());

    // Each worker checks two records side by side while there are more than
    // cores: a lane whose file is done takes the next record. Stopping at the
    // first error means no record after it is opened: then one at a time.
    unsigned const cores = stopOnError ? 1 : AvailableCores();
    std::size_t const n = byIndex.size(), lanes = n > cores && !stopOnError ? 2 : 1;
    // Record i is found; ends: the check cannot go on past it.
    auto found = [&](Batch& batch, std::size_t i, bool ends) {
        if (progress) progress->FileHashed();
        batch.Done(i, ends);
    };
    auto work = [&](Batch& batch) {
        auto next = [&](HashJob& job) {
            for (std::size_t i; batch.Take(i);) {
                FileHashPair const& record = *byIndex[i];
                job = HashJob();
                job.index = i;
                try {
                    job.factory.reset(createHashFactory(record.HashText));
                    if (!job.factory) {
                        findings[i].kind = Finding::UnknownAlgorithm;
                        found(batch, i, stopOnError);
                        continue;
                    }
                    job.calc.reset(job.factory->createHashCalc());
                    findings[i].calculatorMade = true;
                    job.fileName = options.root.empty() ? record.FileName : Rooted(options.root, record.FileName);
                } catch (...) {
                    job.failure = std::current_exception();
                }
                return true;
            }
            return false;
        };
        auto done = [&](HashJob& job) {
            Finding& finding = findings[job.index];
            bool ends;
            try {
                ends = Conclude(*byIndex[job.index], job, stopOnError,
                                job.fileName.size() - byIndex[job.index]->FileName.size(), finding);
            } catch (...) {
                finding.kind = Finding::Fatal;
                finding.fatal = std::current_exception();
                ends = true;
            }
            found(batch, job.index, ends);
        };
        HashFiles(
            lanes, next, [&](HashJob const& job) { return batch.Wanted(job.index); }, done,
            progress);
    };
    // Reports record i; true when the check ends there.
    int result = 0;
    std::function<bool(std::size_t)> const reportRecord = [&](std::size_t i) {
        FileHashPair const& record = *byIndex[i];
        Finding finding = std::move(findings[i]);
        if (stats && finding.calculatorMade) ++stats->Processed;
        std::string line;
        switch (finding.kind) {
            case Finding::Fatal:
                std::rethrow_exception(finding.fatal);
            case Finding::UnknownAlgorithm:
                line = "Can't create hash calculator for " + record.FileName + " [" +
                       record.HashText + "].";
                if (stats) ++stats->Errors;
                result = -1;
                break;
            case Finding::Changed:
                line = "File changed: " + record.FileName + " [" + finding.text + "].";
                if (stats) ++stats->Errors;
                result = -1;
                break;
            case Finding::AccessDenied:
                line = "Warning: File access denied: " + finding.text + ".";
                if (stats) ++stats->AccessDenied;
                if (stopOnError) result = -2;
                break;
            case Finding::NotFound:
                if (!options.reportMissing) break;
                line = "Warning: File not found: " + finding.text + ".";
                if (stats) ++stats->NotFound;
                if (stopOnError) result = -3;
                break;
            default:
                break;
        }
        if (!line.empty()) {
            PausedProgress paused(progress);
            out << line << std::endl;
        }
        return result != 0 && stopOnError;
    };
    RunInIndexOrder(n, cores, work, reportRecord);
    return result;
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats) {
    return CheckFiles(path, out, stats, CheckOptions());
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats,
               CheckOptions const& options) {
    if (path == nullptr || *path == '\0') throw FileIOException("", "File name is empty", 0);
    // A format error ends the check before any file is read.
    std::size_t count = 0;
    {
        HashListReader scan(path);
        for (FileHashPair record;;) {
            HashListReader::Kind const kind = scan.Next(record);
            if (kind == HashListReader::Unsplit) {
                int const err = errno;
                throw FileIOException(path, "HashList format error", err);
            }
            if (kind == HashListReader::End || kind == HashListReader::TooLong) break;
            count += kind == HashListReader::Record;
        }
    }
    ProgressScope scope(options.progress, count);
    HashListReader reader(path);
    auto const records = [&](HashListReader::Kind kind, FileHashPair const&) {
        if (kind == HashListReader::Unsplit) {
            int const err = errno;
            throw FileIOException(path, "HashList format error", err);
        }
        return true;
    };
    int result = 0;
    for (std::list<FileHashPair> window; ReadWindow(reader, window, records);) {
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
        GetFileHash(fileName.c_str(), calc);
    } catch (FileIOException const&) {
        return false;
    }
    std::unique_ptr<IHash> digest(factory->createHash(*calc, true));
    result = digest->ToStr(true, true);
    return true;
}

}  // namespace HashFileChecker
