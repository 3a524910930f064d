// The hash run: every entry of a file list (or one entry) hashed with
// GOST R 34.11-2012 and printed as "name=#GOST3411_256_2012:digits".
#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "checker/hashfile_checker.h"
#include "checker/parallel_runner.h"
#include "checker/progress_scope.h"
#include "checker/read_file.h"
#include "checker/read_lists.h"

namespace HashFileChecker {

namespace {

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

    // Hash every entry on every core; the earliest failing entry ends the run.
    std::vector<std::string*> byIndex;
    for (auto& entry : entries) byIndex.push_back(&entry);
    std::size_t const n = byIndex.size();
    std::vector<std::string> texts(n);
    std::vector<std::exception_ptr> failures(n);
    std::exception_ptr failure;
    {
        ProgressScope scope(progress, n);
        std::unique_ptr<IHashFactory> factory(createHashFactory(GOST_3411_2012));
        unsigned const cores = AvailableCores();
        // Each worker hashes two entries side by side while there are more
        // entries than cores: a lane whose file is done takes the next entry.
        std::size_t const lanes = n > cores ? 2 : 1;
        auto work = [&](Batch& batch) {
            auto next = [&](HashJob& job) {
                std::size_t i;
                if (!batch.Take(i)) return false;
                job = HashJob();
                job.index = i;
                try {
                    job.fileName = SourceName(*byIndex[i]);
                    job.calc.reset(factory->createHashCalc());
                } catch (...) {
                    job.failure = std::current_exception();
                }
                return true;
            };
            auto done = [&](HashJob& job) {
                try {
                    if (!job.failure) {
                        std::unique_ptr<IHash> digest(factory->createHash(*job.calc, true));
                        texts[job.index] = digest->ToStr(false, true);
                        if (progress) progress->FileHashed();
                    }
                } catch (...) {
                    job.failure = std::current_exception();
                }
                failures[job.index] = job.failure;
                batch.Done(job.index, job.failure != nullptr);
            };
            HashFiles(
                lanes, next, [&](HashJob const& job) { return batch.Wanted(job.index); }, done,
                progress);
        };
        RunInIndexOrder(n, cores, work, [&](std::size_t i) {
            failure = failures[i];
            return failure != nullptr;
        });
    }
    // Nothing is printed after a failure.
    if (failure) std::rethrow_exception(failure);

    std::list<HashPair> pairs;
    for (std::size_t i = 0; i < byIndex.size(); ++i)
        pairs.push_back(HashPair{std::move(*byIndex[i]), std::move(texts[i])});
    PrintHashes(pairs, out);
}

}  // namespace HashFileChecker
