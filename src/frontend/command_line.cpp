#include "frontend/command_line.h"

#include <vector>

namespace frontend {

Action ReadCommandLine(int argc, char** argv, std::initializer_list<option> options,
                       std::function<void(int code, char const* arg)> const& take, bool only) {
    enum { Help = 1000, Version };
    std::vector<option> all(options);
    all.push_back({"help", no_argument, nullptr, Help});
    all.push_back({"version", no_argument, nullptr, Version});
    all.push_back(option{});  // the end
    bool bad = false, help = false, version = false;
    opterr = 0;  // the caller prints the usage
    for (int c; (c = getopt_long(argc, argv, "", all.data(), nullptr)) != -1;) {
        if (c == Help)
            help = true;
        else if (c == Version)
            version = true;
        else if (c == '?' || c == ':')
            bad = true;
        else
            take(c, optarg);
    }
    int const operands = argc - optind;
    return bad ? Action::Bad
           : help ? Action::Help
           : version ? Action::Version
           : operands == 0 || (only && operands != 1) ? Action::Bad
                                                     : Action::Run;
}

}  // namespace frontend
