// Running the real command-line tools in scratch directories.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testutil {

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string tmpl = std::filesystem::temp_directory_path() / "icv-test-XXXXXX";
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(TempDir const&) = delete;
    std::string const& path() const { return path_; }
    std::string operator/(std::string const& name) const { return path_ + "/" + name; }

    // Writes a file below the directory, creating its parent directories.
    void write(std::string const& name, std::string const& content) const {
        std::filesystem::create_directories(std::filesystem::path(*this / name).parent_path());
        std::ofstream(*this / name, std::ios::binary) << content;
    }

private:
    std::string path_;
};

inline std::string readFile(std::string const& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Everything left to read from a descriptor, which is then closed.
inline std::string readFd(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(fd);
    return text;
}

struct RunResult {
    std::string out, err;
    int status;  // exit status, or 128 + signal number
};

struct RunOptions {
    std::string cwd = ".";
    std::string argv0;                 // empty: the program path
    std::string stdoutPath;            // empty: captured; else read back unless a device
    std::string stdinPath;             // empty: standard input as the test's
    std::vector<std::string> wrapper;  // a command put in front: setpriv, taskset, prlimit
    bool stdoutToClosedPipe = false;   // standard output: a pipe nobody reads
    bool appendStdout = false;         // stdoutPath opened to append (>>), not emptied (>)
    unsigned timeoutSeconds = 60;      // a run that hangs is killed (SIGALRM)
};

// Root reads every file, so as root the run drops to nobody (through setpriv)
// and the directory is opened to it. False, with the reason, when impossible.
inline bool asUnprivilegedUser(RunOptions& options, std::string const& dir, std::string& why) {
    if (geteuid() != 0) return true;
    why = "running as root without setpriv (util-linux)";
    options.wrapper = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    return access("/usr/bin/setpriv", X_OK) == 0 && chmod(dir.c_str(), 0755) == 0;
}

// Runs a program with arguments; stdout and stderr are captured through files.
inline RunResult run(std::string const& program, std::vector<std::string> const& args,
                     RunOptions const& options = {}) {
    TempDir capture;
    std::string const outPath = options.stdoutPath.empty() ? capture / "out" : options.stdoutPath;
    std::vector<std::string> argv = options.wrapper;
    std::string argv0 = options.argv0.empty() || !options.wrapper.empty() ? program : options.argv0;
#ifdef ICV_TOOL_LAUNCHER
    // A cross build: the emulator (qemu-user) runs the program, -0 sets its argv[0].
    argv.insert(argv.end(), {ICV_TOOL_LAUNCHER, "-0", argv0});
    argv0 = program;
#endif
    std::string const file = argv.empty() ? program : argv[0];
    argv.push_back(argv0);
    argv.insert(argv.end(), args.begin(), args.end());

    int ends[2] = {-1, -1};
    if (options.stdoutToClosedPipe && pipe(ends) == 0) close(ends[0]);  // its first write fails
    pid_t const pid = fork();
    if (pid == 0) {
        int const mode = options.appendStdout ? O_APPEND : O_TRUNC;
        int out = options.stdoutToClosedPipe ? ends[1] : open(outPath.c_str(), O_WRONLY | O_CREAT | mode, 0644);
        int err = open((capture / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = options.stdinPath.empty() ? 0 : open(options.stdinPath.c_str(), O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(options.cwd.c_str()) != 0) _exit(125);
        alarm(options.timeoutSeconds);
        dup2(out, 1);
        dup2(err, 2);
        dup2(in, 0);
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(file.c_str(), raw.data());
        _exit(126);
    }
    if (options.stdoutToClosedPipe) close(ends[1]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    struct stat st;
    bool const regular = !options.stdoutToClosedPipe && stat(outPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return RunResult{regular ? readFile(outPath) : "", readFile(capture / "err"),
                     WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus)};
}

}  // namespace testutil
