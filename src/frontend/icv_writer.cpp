// icv_writer: prints "name=#GOST3411_256_2012:<digits>" for one file (-F) or
// for every entry of a file list (-L).
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "checker/hashfile_checker.h"
#include "frontend/progress.h"
#include "frontend/report.h"
#include "frontend/whole_output.h"

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
    // A reader that leaves early ends the writer quietly, as it ends any
    // filter; a file-size limit is a write error with a message.
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGXFSZ, SIG_IGN);
    return frontend::RunReportingFailures([&] {
        HashFileChecker::HashRun run(argv[1] + 2, argv[1][1] == 'L');
        // Each recorded name becomes one line that every check reads as a record.
        for (std::size_t i = 0; i < run.Count(); ++i) {
            std::string_view const name = run.RecordedName(i);
            if (name.find('\n') != std::string_view::npos)
                throw std::runtime_error(
                    "The name to record contains a line break; a hash list holds one name a line");
            if (!name.empty() && name[0] == '[')
                throw std::runtime_error(
                    "The name to record begins with '['; every check skips such a line");
        }
        run.Hash(frontend::TerminalProgress::ForStandardError().get());
        // The list reaches the output in large blocks, and only once every file is hashed.
        frontend::WriteWholeOutput(STDOUT_FILENO, run.OutputSize(), [&](frontend::Sink const& sink) {
            run.Write(sink);
        });
        return 0;
    });
}
