#include "frontend/check_options.h"


namespace frontend {

CheckCommand ParseCheckCommand(int argc, char** argv) {
    enum { Root = 1, IgnoreMissing, Quiet, Status, Warn, Strict, Complete };
    CheckCommand command;
    command.action = ReadCommandLine(
        argc, argv,
        {{"root", required_argument, nullptr, Root},
         {"ignore-missing", no_argument, nullptr, IgnoreMissing},
         {"quiet", no_argument, nullptr, Quiet},
         {"status", no_argument, nullptr, Status},
         {"warn", no_argument, nullptr, Warn},
         {"strict", no_argument, nullptr, Strict},
         {"complete", optional_argument, nullptr, Complete}},
        [&](int code, char const* arg) {
            switch (code) {
                case Root:
                    command.hasRoot = true;
                    command.root = arg;
                    break;
                case IgnoreMissing:
                    command.ignoreMissing = true;
                    break;
                case Quiet:
                    command.quiet = true;
                    break;
                case Status:
                    command.status = true;
                    break;
                case Strict:
                    command.strict = true;
                    command.warn = true;
                    break;
                case Warn:
                    command.warn = true;
                    break;
                case Complete:
                    command.complete = true;
                    if (arg) command.completeBelow = arg;
                    break;
            }
        },
        false);
    command.lists.assign(argv + optind, argv + argc);
    return command;
}

void PrintCheckUsage(std::ostream& out, char const* program) {
    out << "Usage: " << program << " [OPTION]... HASHLIST...\n"
        << "Verifies the files of hash lists written by icv_writer; - reads a list from standard "
           "input.\n"
        << "  --root=DIR        read every recorded name below DIR (a staged tree, a mounted "
           "image)\n"
        << "  --ignore-missing  neither report nor fail for files that are not there\n"
        << "  --quiet           print nothing when every file verifies\n"
        << "  --status          print no findings and no summary: the exit status tells\n"
        << "  --warn            report and skip each line that is not a well-formed record\n"
        << "  --strict          as --warn, and such lines make the check fail (status 2)\n"
        << "  --complete[=PATH] report every file of the tree (below the recorded PATH) that no\n"
        << "                    list names, as icv_tree would record it; each fails the check\n"
        << "  --help            show this help and exit\n"
        << "  --version         show the version and exit\n"
        << "return codes: 0 - all files match, 1 - invalid command line,\n"
        << "  2 - a file changed, is missing or unreadable, 255 - error." << std::endl;
}

}  // namespace frontend
