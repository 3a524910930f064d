// icv_check's command line: the options, the hash lists, the usage text.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "frontend/command_line.h"

namespace frontend {

struct CheckCommand {
    Action action = Action::Bad;
    bool hasRoot = false;
    std::string root;            // every recorded name is read below it
    bool ignoreMissing = false;  // missing files neither reported nor failing
    bool quiet = false;          // no summary when every file verifies
    bool status = false;         // no findings, no summary: the exit status tells
    bool warn = false;           // malformed lines reported and skipped
    bool strict = false;         // as warn, and they fail the check
    bool complete = false;       // files of the tree that no list names fail the check
    std::string completeBelow = "/";  // the recorded path below which they are looked for
    std::vector<std::string> lists;
};

// Bad for an unknown option, an option without its value, or no list.
CheckCommand ParseCheckCommand(int argc, char** argv);

void PrintCheckUsage(std::ostream& out, char const* program);

}  // namespace frontend
