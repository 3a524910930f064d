// icv_check HASHLIST: verifies every file of a hash list written by icv_writer
// (or by hand, mixing MD5, GOST R 34.11-94 and GOST R 34.11-2012 lines).
#include <csignal>
#include <iostream>

#include "checker/hashfile_checker.h"
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
    // A reader that goes away is a write error to report, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    return frontend::RunReportingFailures([&] {
        HashFileChecker::Statistics stats = {0, 0, 0, 0};
        auto progress = frontend::TerminalProgress::ForStandardError();
        int result = HashFileChecker::CheckFiles(argv[1], std::cout, &stats, progress.get());
        frontend::CheckStandardOutput();
        std::cerr << "Processed: " << stats.Processed << ", Errors: " << stats.Errors
                  << ", NotFound: " << stats.NotFound << ", AccessDenied: " << stats.AccessDenied
                  << std::endl;
        bool clean =
            result == 0 && stats.Errors == 0 && stats.NotFound == 0 && stats.AccessDenied == 0;
        return clean ? 0 : 2;
    });
}
