// Running the real command-line tools in scratch directories.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testutil {

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "icv-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(TempDir const&) = delete;
    TempDir& operator=(TempDir const&) = delete;

    std::string const& path() const { return path_; }
    std::string operator/(std::string const& name) const { return path_ + "/" + name; }

    // Writes a file below the directory, creating its parent directories.
    void write(std::string const& name, std::string const& content) const {
        std::filesystem::path p = *this / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }

private:
    std::string path_;
};

inline std::string readFile(std::string const& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct RunResult {
    std::string out, err;
    int status;  // exit status, or 128 + signal number
};

struct RunOptions {
    std::string cwd = ".";
    std::string argv0;                 // empty: the program path
    std::string stdoutPath;            // empty: captured; else read back unless a device
    std::vector<std::string> wrapper;  // a command put in front, such as setpriv
    bool oneCore = false;              // run on a single processor
    bool stdoutToClosedPipe = false;   // standard output: a pipe nobody reads
    bool smallFileSizeLimit = false;   // no file may grow past 64 bytes
    unsigned timeoutSeconds = 60;      // a run that hangs is killed (SIGALRM)
};

// Restricts the calling process to the first processor it may use.
inline void pinToOneCore() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set)) {
            CPU_ZERO(&set);
            CPU_SET(cpu, &set);
            sched_setaffinity(0, sizeof set, &set);
            return;
        }
}

// Root reads every file, so as root the run drops to nobody (through setpriv)
// and the directory is opened to it. False, with the reason, when impossible.
inline bool asUnprivilegedUser(RunOptions& options, std::string const& dir, std::string& why) {
    if (geteuid() != 0) return true;
    if (access("/usr/bin/setpriv", X_OK) != 0) {
        why = "running as root without setpriv (util-linux)";
        return false;
    }
    options.wrapper = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    return chmod(dir.c_str(), 0755) == 0;
}

// Runs a program with arguments; stdout and stderr are captured through files.
inline RunResult run(std::string const& program, std::vector<std::string> const& args,
                     RunOptions const& options = {}) {
    TempDir capture;
    std::string const outPath = options.stdoutPath.empty() ? capture / "out" : options.stdoutPath;
    std::string const errPath = capture / "err";
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

    int pipeEnds[2] = {-1, -1};
    if (options.stdoutToClosedPipe) {
        if (pipe(pipeEnds) != 0) return RunResult{"", "pipe failed", -1};
        close(pipeEnds[0]);  // before the child exists: its first write already fails
    }
    pid_t pid = fork();
    if (pid == 0) {
        int out = options.stdoutToClosedPipe
                      ? pipeEnds[1]
                      : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(options.cwd.c_str()) != 0) _exit(125);
        if (options.oneCore) pinToOneCore();
        rlimit small = {64, 64};
        if (options.smallFileSizeLimit) setrlimit(RLIMIT_FSIZE, &small);
        alarm(options.timeoutSeconds);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
        raw.push_back(nullptr);
        execv(file.c_str(), raw.data());
        _exit(126);
    }
    if (options.stdoutToClosedPipe) close(pipeEnds[1]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    RunResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    struct stat st;
    bool regular = stat(outPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    r.out = regular && !options.stdoutToClosedPipe ? readFile(outPath) : "";
    r.err = readFile(errPath);
    return r;
}

}  // namespace testutil
