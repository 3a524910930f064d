// icv_tree [OPTION]... DIR: the hash list of a whole tree, sorted by name,
// every file read as if DIR were "/".
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "checker/hashfile_checker.h"
#include "checker/tree_walk.h"
#include "frontend/command_line.h"
#include "frontend/progress.h"
#include "frontend/report.h"
#include "frontend/whole_output.h"

namespace {

using HashFileChecker::TreeEntry;

struct TreeCommand {
    frontend::Action action = frontend::Action::Bad;
    std::string prefix;           // recorded in front of each name, "" for "/"
    bool skipUnlistable = false;  // names a list cannot hold are left out, not a failure
    std::string dir;
};

TreeCommand ParseTreeCommand(int argc, char** argv) {
    enum { Prefix = 1, SkipUnlistable };
    TreeCommand command;
    command.action = frontend::ReadCommandLine(
        argc, argv,
        {{"prefix", required_argument, nullptr, Prefix},
         {"skip-unlistable", no_argument, nullptr, SkipUnlistable}},
        [&](int code, char const* arg) {
            if (code == SkipUnlistable) command.skipUnlistable = true;
            if (code != Prefix) return;
            command.prefix = arg;
            // "/opt/app/" and "/" record no doubled slash.
            while (!command.prefix.empty() && command.prefix.back() == '/') command.prefix.pop_back();
        },
        true);
    if (command.action == frontend::Action::Run) command.dir = argv[optind];
    return command;
}

void PrintTreeUsage(std::ostream& out, char const* program) {
    out << "Usage: " << program << " [OPTION]... DIR\n"
        << "Writes the hash list of every file below DIR, sorted by name: DIR/usr/bin/ls is\n"
        << "recorded as /usr/bin/ls. A symlink is recorded by the file it leads to, as if DIR\n"
        << "were /; one that leads to a directory, to nothing inside DIR or round a loop is\n"
        << "left out and named, as are FIFOs, sockets and devices.\n"
        << "  --prefix=PATH      record PATH/usr/bin/ls instead (a tree staged without its prefix)\n"
        << "  --skip-unlistable  leave out names a hash list cannot hold, each still named\n"
        << "  --help             show this help and exit\n"
        << "  --version          show the version and exit\n"
        << "return codes: 0 - the list was written, 1 - invalid command line,\n"
        << "  255 - error (nothing was written)." << std::endl;
}

// A name as a message shows it: a line break as \n, a backslash as \\.
std::string Shown(std::string_view name) {
    std::string shown;
    for (char c : name) shown += c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c);
    return shown;
}

// Why an entry of the tree is no file to record, or null.
char const* LeftOut(TreeEntry::Kind kind) {
    switch (kind) {
        case TreeEntry::LinkToDirectory: return "a symlink to a directory";
        case TreeEntry::LinkToNothing: return "a symlink that leads to nothing inside the tree";
        case TreeEntry::LinkLoop: return "a symlink loop";
        case TreeEntry::LinkToSpecial: return "a symlink to neither a file nor a directory";
        case TreeEntry::Special: return "neither a file nor a directory";
        default: return nullptr;
    }
}

class TreeListing {
public:
    explicit TreeListing(TreeCommand const& command) : command_(command) {
        root_ = open(command.dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        int const err = errno;
        if (root_ < 0)
            throw std::runtime_error("Can't use " + command.dir + " as the tree: " + std::strerror(err));
    }
    ~TreeListing() { close(root_); }
    TreeListing(TreeListing const&) = delete;
    TreeListing& operator=(TreeListing const&) = delete;

    int Run() {
        // Walked twice: once to measure the names, once to keep them in exactly that room.
        std::size_t bytes = 0, count = 0;
        Walk([&](std::string_view name) { bytes += name.size() + 1, ++count; }, false);
        std::string text;
        std::vector<std::size_t> starts;
        text.reserve(bytes);
        starts.reserve(count);
        std::size_t unlistable = 0;
        Walk([&](std::string_view name) {
                 if (char const* why = HashFileChecker::UnlistableReason(name)) {
                     ++unlistable;
                     std::cerr << (command_.skipUnlistable ? "Left out: " : "Cannot record: ")
                               << Shown(name) << " (" << why << ")." << std::endl;
                     return;
                 }
                 starts.push_back(text.size());
                 text.append(name).append(1, '\0');
             },
             true);
        if (unlistable != 0 && !command_.skipUnlistable)
            throw std::runtime_error("Names a hash list cannot hold: " + std::to_string(unlistable) +
                                     "; nothing was written (--skip-unlistable leaves them out)");
        if (starts.empty()) throw std::runtime_error("No file to list below " + command_.dir);
        char const* const names = text.data();
        std::sort(starts.begin(), starts.end(), [names](std::size_t a, std::size_t b) {
            return std::string_view(names + a) < std::string_view(names + b);
        });
        HashFileChecker::HashRun run(std::move(text), std::move(starts), root_, command_.prefix.size());
        run.Hash(frontend::TerminalProgress::ForStandardError().get());
        frontend::WriteWholeOutput(STDOUT_FILENO, run.OutputSize(),
                                   [&](frontend::Sink const& sink) { run.Write(sink); });
        return 0;
    }

private:
    // Every file to record, by its recorded name; what is left out is named
    // when told.
    template <class Visit>
    void Walk(Visit const& visit, bool tell) {
        std::string name = command_.prefix;
        HashFileChecker::WalkTree(root_, "", [&](TreeEntry const& entry) {
            name.resize(command_.prefix.size());
            name.append(1, '/').append(entry.path);
            if (char const* why = LeftOut(entry.kind)) {
                if (tell) std::cerr << "Left out: " << Shown(name) << " (" << why << ")." << std::endl;
                return;
            }
            visit(std::string_view(name));
        });
    }

    TreeCommand const& command_;
    int root_;
};

}  // namespace

int main(int argc, char** argv) {
    char const* const program = argc > 0 ? argv[0] : "icv_tree";
    TreeCommand const command = ParseTreeCommand(argc, argv);
    if (command.action == frontend::Action::Bad) {
        PrintTreeUsage(std::cerr, program);
        return 1;
    }
    // A reader that leaves early ends the lister quietly, as it ends any
    // filter; a file-size limit is a write error with a message.
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGXFSZ, SIG_IGN);
    return frontend::RunReportingFailures([&] {
        if (command.action == frontend::Action::Help) {
            PrintTreeUsage(std::cout, program);
            return 0;
        }
        if (command.action == frontend::Action::Version) {
            std::cout << "icv_tree " ICV_VERSION << std::endl;
            return 0;
        }
        return TreeListing(command).Run();
    });
}
