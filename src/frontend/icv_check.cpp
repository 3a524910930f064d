// icv_check HASHLIST: verifies every file of a hash list written by icv_writer
// (or by hand, mixing MD5, GOST R 34.11-94 and GOST R 34.11-2012 lines).
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <list>
#include <stdexcept>
#include <string>

#include "checker/hashfile_checker.h"
#include "frontend/line_output.h"
#include "frontend/progress.h"
#include "frontend/report.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        char const* program = argc > 0 ? argv[0] : "icv_check";
        std::cerr << "Usage: " << program << " HASHLIST" << std::endl;
        std::cerr << "Verifies the files of a hash list written by icv_writer." << std::endl;
        std::cerr << "return codes: 0 - all files match, 1 - invalid command line," << std::endl;
        std::cerr << "  2 - a file changed, is missing or unreadable, 255 - error." << std::endl;
        return 1;
    }
    // A reader that leaves early ends the check quietly, as it ends any
    // filter; a file-size limit is a write error with a message.
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGXFSZ, SIG_IGN);
    return frontend::RunReportingFailures([&] {
        std::list<HashFileChecker::FileHashPair> records;
        std::size_t const stoppedAt = HashFileChecker::LoadHashList(argv[1], records);
        HashFileChecker::Statistics stats = {0, 0, 0, 0};
        frontend::LineOutput out(STDOUT_FILENO);
        auto progress = frontend::TerminalProgress::ForStandardError();
        HashFileChecker::CheckOptions options;
        options.progress = progress.get();
        if (progress) progress->Started(records.size());
        int result = HashFileChecker::CheckFiles(records, out, &stats, options);
        if (progress) progress->Finished();
        // Never "all good" after checking less than the whole list.
        if (stoppedAt != 0)
            throw std::runtime_error("HashList line " + std::to_string(stoppedAt) +
                                     " is longer than 4128 characters; it and the lines after "
                                     "it were not checked");
        if (records.empty()) throw std::runtime_error("HashList holds no records to check");
        std::cerr << "Processed: " << stats.Processed << ", Errors: " << stats.Errors
                  << ", NotFound: " << stats.NotFound << ", AccessDenied: " << stats.AccessDenied
                  << std::endl;
        bool clean =
            result == 0 && stats.Errors == 0 && stats.NotFound == 0 && stats.AccessDenied == 0;
        return clean ? 0 : 2;
    });
}
