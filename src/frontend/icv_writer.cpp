// icv_writer: prints "name=#GOST3411_256_2012:<digits>" for one file (-F) or
// for every entry of a file list (-L).
#include <csignal>
#include <iostream>

#include "checker/hashfile_checker.h"
#include "frontend/progress.h"
#include "frontend/report.h"

namespace {

void Usage(char const* program) {
    if (program == nullptr) program = "icv_writer";
    std::cerr << "Calculates hash of files" << std::endl;
    std::cerr << "Usage:" << std::endl;
    std::cerr << program << " -L<FileList file name> [> outfile]" << std::endl;
    std::cerr << "or" << std::endl;
    std::cerr << program << " -F[DestPath/]FileName.ext[=SourcePath/FileName.ext] [> outfile]"
              << std::endl;
    std::cerr << "All abnormal events are logged to cerr" << std::endl;
    std::cerr << "File names (with Destination paths) and corresponding hash values" << std::endl;
    std::cerr << "are printed to cout." << std::endl;
    std::cerr << "FileList format:" << std::endl;
    std::cerr << "    [DestPath/]FileName.ext[=SourcePath/FileName.ext]" << std::endl;
    std::cerr << "    ..." << std::endl;
    std::cerr << "return codes:" << std::endl;
    std::cerr << "    0 - OK." << std::endl;
    std::cerr << "    1 - Invalid command line argument." << std::endl;
    std::cerr << "   -1 - Error occured during execution." << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] != '-' || (argv[1][1] != 'F' && argv[1][1] != 'L')) {
        Usage(argc > 0 ? argv[0] : nullptr);
        return 1;
    }
    // A reader that goes away is a write error to report, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    return frontend::RunReportingFailures([&] {
        auto progress = frontend::TerminalProgress::ForStandardError();
        HashFileChecker::ProcessFiles(argv[1] + 2, argv[1][1] == 'L', std::cout, progress.get());
        frontend::CheckStandardOutput();
        return 0;
    });
}
