// The check: every record of a hash list recomputed with the algorithm its
// tag names, findings reported in record order as soon as they are known.
#include <cerrno>
#include <exception>
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
    std::string newText;          // Changed: the digest computed now
    std::exception_ptr fatal;     // Fatal: what ends the check
};

// Checks one record; true when the check cannot go on past it.
bool Examine(FileHashPair const& record, bool stopOnError, ProgressListener* progress,
             StillWanted const& wanted, Finding& finding) {
    try {
        std::unique_ptr<IHashFactory> factory(createHashFactory(record.HashText));
        if (!factory) {
            finding.kind = Finding::UnknownAlgorithm;
            return stopOnError;
        }
        std::unique_ptr<IHash_Calc> calc(factory->createHashCalc());
        finding.calculatorMade = true;
        try {
            if (!GetFileHash(record.FileName.c_str(), *calc, progress, wanted)) return false;
        } catch (FileIOException const& e) {
            if (e.ErrCode != EACCES && e.ErrCode != ENOENT) throw;
            finding.kind = e.ErrCode == EACCES ? Finding::AccessDenied : Finding::NotFound;
            return stopOnError;
        }
        std::unique_ptr<IHash> digest(factory->createHash(*calc, true));
        if (digest->Check(record.HashText, false) || digest->Check(record.HashText, true)) {
            finding.kind = Finding::Matches;
            return false;
        }
        finding.kind = Finding::Changed;
        finding.newText = digest->ToStr(false, true);
        return stopOnError;
    } catch (...) {
        finding.kind = Finding::Fatal;
        finding.fatal = std::current_exception();
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
    std::vector<FileHashPair const*> byIndex;
    for (auto const& record : records) byIndex.push_back(&record);
    std::vector<Finding> findings(byIndex.size());
    ProgressScope scope(progress, byIndex.size());

    auto work = [&](std::size_t i, StillWanted const& wanted) {
        bool last = Examine(*byIndex[i], stopOnError, progress, wanted, findings[i]);
        if (progress) progress->FileHashed();
        return last;
    };
    // Reports record i; true when the check ends there.
    int result = 0;
    auto report = [&](std::size_t i) {
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
                line = "File changed: " + record.FileName + " [" + finding.newText + "].";
                if (stats) ++stats->Errors;
                result = -1;
                break;
            case Finding::AccessDenied:
                line = "Warning: File access denied: " + record.FileName + ".";
                if (stats) ++stats->AccessDenied;
                if (stopOnError) result = -2;
                break;
            case Finding::NotFound:
                line = "Warning: File not found: " + record.FileName + ".";
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
    // Stopping at the first error means no record after it is opened: one at a time.
    RunInIndexOrder(byIndex.size(), stopOnError ? 1 : AvailableCores(), work, report);
    return result;
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats) {
    return CheckFiles(path, out, stats, nullptr);
}

int CheckFiles(char const* path, std::ostream& out, Statistics* stats, ProgressListener* progress) {
    std::list<FileHashPair> records;
    LoadHashList(path, records);
    return CheckFiles(records, out, stats, false, progress);
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
