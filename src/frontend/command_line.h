// The GNU-style command line the tools share: long options, --help and
// --version, operands after them.
#pragma once

#include <getopt.h>

#include <functional>
#include <initializer_list>

namespace frontend {

// What a command line asks for.
enum class Action { Run, Help, Version, Bad };

// Reads the options with getopt_long, --help and --version added to them;
// every other option's code and argument (or null) go to take. Bad for an
// unknown option or one without its value; Run needs at least one operand,
// and exactly one when only is set. The operands start at optind.
Action ReadCommandLine(int argc, char** argv, std::initializer_list<option> options,
                       std::function<void(int code, char const* arg)> const& take, bool only);

}  // namespace frontend
