// icv_check [OPTION]... HASHLIST...: verifies every file of hash lists written
// by icv_writer (or by hand, mixing MD5, GOST R 34.11-94 and GOST R 34.11-2012
// lines), a window of records at a time, with one summary of the totals.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "checker/added_files.h"
#include "checker/hashfile_checker.h"
#include "frontend/check_options.h"
#include "frontend/line_checks.h"
#include "frontend/line_output.h"
#include "frontend/progress.h"
#include "frontend/report.h"

namespace {

using HashFileChecker::FileHashPair;
using HashFileChecker::HashListReader;

using HashFileChecker::kLongHashListLine;

bool IsRegularFile(std::string const& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::runtime_error TooLong(std::string const& list, std::size_t line, bool several) {
    return std::runtime_error("HashList " + (several ? list + " " : "") + "line " +
                              std::to_string(line) + " is longer than " +
                              std::to_string(kLongHashListLine) + " characters; it and " +
                              (several ? "everything" : "the lines") + " after it were not checked");
}

std::string WorkingDirectory() {
    std::unique_ptr<char, void (*)(void*)> const cwd(getcwd(nullptr, 0), free);
    int const err = errno;
    if (!cwd) throw std::runtime_error(std::string("Can't tell the working directory: ") + std::strerror(err));
    return cwd.get();
}

// Fails unless dir can be used as the root: it must be a directory.
void CheckRoot(std::string const& dir) {
    int const fd = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    int const err = errno;
    if (fd < 0) throw std::runtime_error("Can't use " + dir + " as the root: " + std::strerror(err));
    close(fd);
}

class CheckRun {
public:
    explicit CheckRun(frontend::CheckCommand const& command)
        : command_(command),
          options_(Options(command)),
          verdict_(options_, nullptr, !command.warn || command.strict) {
        options_.onFinding = [this](HashFileChecker::Finding const& finding) {
            if (finding.kind != HashFileChecker::Finding::Matches)
                findings() << HashFileChecker::FindingLine(finding) << std::endl;
        };
        if (!command.status) progress_ = frontend::TerminalProgress::ForStandardError();
        options_.progress = progress_.get();
        if (command.complete && !command.hasRoot) cwd_ = WorkingDirectory();
    }

    int Run() {
        // Lists that are regular files are read twice: once for format errors
        // before any file is read (and for the count of records), once to check.
        std::size_t total = 0;
        std::vector<bool> scanned;
        for (std::string const& list : command_.lists) {
            if (list.empty()) throw HashFileChecker::FileIOException("", "File name is empty", 0);
            scanned.push_back(list != "-" && IsRegularFile(list));
            if (scanned.back())
                total += Scan(list);
            else if (list != "-" && access(list.c_str(), F_OK) != 0)
                HashListReader opened(list.c_str());  // throws why the list cannot be opened
        }
        if (progress_) progress_->Started(total);
        for (std::size_t i = 0; i < command_.lists.size(); ++i) Check(command_.lists[i], scanned[i]);
        if (progress_) progress_->Finished();
        if (!anyRecord_) throw std::runtime_error("HashList holds no records to check");
        if (command_.complete) {
            names_.Seal();
            std::string const below = HashFileChecker::RecordedNames::Normal(command_.completeBelow, cwd_);
            HashFileChecker::FindAddedFiles(below, names_, discard_, verdict_, options_);
        }

        // Every file missing is never all good, even when missing files are ignored.
        HashFileChecker::Verdict::Outcome const outcome = verdict_.Overall();
        if (outcome == HashFileChecker::Verdict::NothingVerified) {
            if (!command_.status) std::cerr << "Warning: No file of the hash lists was there to verify." << std::endl;
            return 2;
        }
        bool const clean = outcome == HashFileChecker::Verdict::AllGood;
        HashFileChecker::Statistics const& counted = verdict_.Counted();
        if (!command_.status && !(command_.quiet && clean))
            std::cerr << "Processed: " << counted.Processed << ", Errors: " << counted.Errors
                      << ", NotFound: " << counted.NotFound
                      << ", AccessDenied: " << counted.AccessDenied
                      << (command_.complete ? ", Added: " + std::to_string(verdict_.Added()) : "") << std::endl;
        return clean ? 0 : 2;
    }

private:
    // How every window is checked: past files that cannot be read, below the root.
    static HashFileChecker::CheckOptions Options(frontend::CheckCommand const& command) {
        HashFileChecker::CheckOptions options;
        if (command.hasRoot) {
            CheckRoot(command.root);
            options.root = command.root;
        }
        options.reportMissing = !command.ignoreMissing;
        options.goOn = true;
        return options;
    }

    // Why a line is reported and skipped, or empty: a line with a NUL byte
    // always (a damaged list), any line that is not a well-formed record with --warn.
    std::string Malformed(std::string const& line) {
        return command_.warn || line.find('\0') != std::string::npos ? checks_.Malformed(line) : "";
    }

    // The records of a list to check; a format error is thrown unless --warn.
    std::size_t Scan(std::string const& list) {
        HashListReader reader(list.c_str(), kLongHashListLine);
        std::size_t count = 0;
        for (FileHashPair record;;) {
            HashListReader::Kind const kind = reader.ReadLine(record);
            if (kind == HashListReader::End || kind == HashListReader::TooLong) return count;
            if (!Malformed(reader.Line()).empty()) continue;
            if (kind == HashListReader::Unsplit) HashFileChecker::ThrowFormatError(list.c_str());
            count += kind == HashListReader::Record;
        }
    }

    void Check(std::string const& list, bool scanned) {
        std::unique_ptr<HashListReader> const reader(
            list == "-" ? new HashListReader(std::cin, "-", kLongHashListLine)
                        : new HashListReader(list.c_str(), kLongHashListLine));
        std::size_t tooLong = 0;
        auto const accept = [&](HashListReader::Kind kind, FileHashPair const&) {
            if (kind == HashListReader::TooLong) tooLong = reader->LineNumber();
            if (kind == HashListReader::End || kind == HashListReader::TooLong) return false;
            std::string const reason = Malformed(reader->Line());
            if (!reason.empty()) {
                Report(list, reader->LineNumber(), reason);
                return false;
            }
            if (kind == HashListReader::Unsplit) HashFileChecker::ThrowFormatError(list.c_str());
            return true;
        };
        std::list<FileHashPair> window;
        for (;;) {
            errno = 0;  // a format error reports whatever errno holds: nothing stale
            bool more;
            try {
                more = HashFileChecker::ReadWindow(*reader, window, accept);
            } catch (HashFileChecker::FileIOException const&) {
                // A list read once has its format or read error where it
                // stands: the records before it are checked first.
                if (!window.empty()) CheckWindow(window, !scanned);
                throw;
            }
            if (!more) break;
            CheckWindow(window, !scanned);
        }
        if (tooLong != 0) throw TooLong(list, tooLong, command_.lists.size() > 1);
    }

    void CheckWindow(std::list<FileHashPair> const& window, bool uncounted) {
        if (uncounted && progress_) progress_->AddFiles(window.size());
        anyRecord_ = true;
        if (command_.complete)
            for (FileHashPair const& record : window) names_.Add(record.FileName, cwd_);
        HashFileChecker::CheckFiles(window, discard_, verdict_, options_);
    }

    std::ostream& findings() { return command_.status ? discard_ : out_; }

    // A malformed line, on standard error beside the progress display.
    void Report(std::string const& list, std::size_t line, std::string const& reason) {
        verdict_.CountMalformed();
        if (command_.status) return;
        HashFileChecker::ProgressListener* const progress = progress_.get();
        if (progress) progress->Pause();
        std::cerr << list << ':' << line << ": " << reason << std::endl;
        if (progress) progress->Resume();
    }

    frontend::CheckCommand const& command_;
    HashFileChecker::CheckOptions options_;
    HashFileChecker::Verdict verdict_;
    std::unique_ptr<frontend::TerminalProgress> progress_;
    frontend::LineOutput out_{STDOUT_FILENO};
    std::ostream discard_{nullptr};
    frontend::LineChecks checks_;
    bool anyRecord_ = false;  // some list held a record
    HashFileChecker::RecordedNames names_;  // with --complete
    std::string cwd_ = "/";                 // where relative names are read from
};

}  // namespace

int main(int argc, char** argv) {
    char const* const program = argc > 0 ? argv[0] : "icv_check";
    frontend::CheckCommand const command = frontend::ParseCheckCommand(argc, argv);
    if (command.action == frontend::Action::Bad) {
        frontend::PrintCheckUsage(std::cerr, program);
        return 1;
    }
    // A reader that leaves early ends the check quietly, as it ends any
    // filter; a file-size limit is a write error with a message.
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGXFSZ, SIG_IGN);
    return frontend::RunReportingFailures([&] {
        if (command.action != frontend::Action::Run) {
            frontend::LineOutput out(STDOUT_FILENO);
            if (command.action == frontend::Action::Help)
                frontend::PrintCheckUsage(out, program);
            else
                out << "icv_check " ICV_VERSION << std::endl;
            return 0;
        }
        return CheckRun(command).Run();
    });
}
