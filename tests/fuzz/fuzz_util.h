// Shared by the fuzz targets: invariant checks that abort with a message (a crash to libFuzzer, a
// failed test to the replay driver), and a private directory of small files in which the file
// and hash list targets run.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fuzz {

// The corpus file being replayed, for failure messages; empty under libFuzzer.
inline std::string& CurrentInput() {
    static std::string name;
    return name;
}

[[noreturn]] inline void Fail(char const* what, char const* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    if (!CurrentInput().empty()) std::fprintf(stderr, "input: %s\n", CurrentInput().c_str());
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::fuzz::Fail(#condition, __FILE__, __LINE__))

// The files every list target finds beside its list ("list"), by name relative to the directory.
// Hash-list seeds quote digests of these contents.
inline std::map<std::string, std::string> const& SmallFiles() {
    static std::map<std::string, std::string> const files = {
        {"abc.txt", "abc"},
        {"empty", ""},
        {"b.bin", std::string("\0\x01\xfe\xff\n\r=#", 8)},
        {"sub/c.txt", std::string(200, 'c')},
    };
    return files;
}

// Whether a name, relative to the directory, certainly names nothing there: it is empty, or a
// plain name of none of its files and directories, short enough to be looked up (opening a name
// over 255 bytes fails with ENAMETOOLONG, not ENOENT).
inline bool SurelyMissing(std::string const& name) {
    if (name.empty()) return true;
    if (name == "." || name == ".." || name == "sub" || name == "list" || name.size() > 255)
        return false;
    return name.find_first_not_of(
               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
               std::string::npos &&
           SmallFiles().count(name) == 0;
}

// A fresh directory under the system's temporary one holding SmallFiles(), removed at exit.
class TempDir {
public:
    TempDir() {
        std::string name = (std::filesystem::temp_directory_path() / "icv-fuzz-XXXXXX").string();
        FUZZ_CHECK(mkdtemp(name.data()) != nullptr);
        path_ = name;
        for (auto const& [file, content] : SmallFiles()) {
            std::filesystem::create_directories((path_ / file).parent_path());
            std::ofstream(path_ / file, std::ios::binary) << content;
        }
    }
    TempDir(TempDir const&) = delete;
    TempDir& operator=(TempDir const&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::filesystem::path const& path() const { return path_; }

    // Replaces the content of a file of the directory. It is rewritten in place and then cut to
    // size: truncating to zero first would make ext4 flush the file on every close.
    void Write(std::string const& file, void const* data, std::size_t size) const {
        int const fd = open((path_ / file).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        FUZZ_CHECK(fd >= 0);
        auto const* bytes = static_cast<char const*>(data);
        for (std::size_t done = 0; done < size;) {
            ssize_t const n = pwrite(fd, bytes + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0);
            done += static_cast<std::size_t>(n);
        }
        FUZZ_CHECK(ftruncate(fd, static_cast<off_t>(size)) == 0 && close(fd) == 0);
    }

    // Runs work with this directory as the current one (the code under test opens list entries
    // relative to it) and returns to the previous one however work ends.
    template <class Work>
    void RunInside(Work const& work) const {
        struct Back {
            int fd;
            ~Back() {
                FUZZ_CHECK(fchdir(fd) == 0);
                close(fd);
            }
        } back{open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        FUZZ_CHECK(back.fd >= 0 && chdir(path_.c_str()) == 0);
        work();
    }

private:
    std::filesystem::path path_;
};

// For LLVMFuzzerInitialize of targets that change the current directory: a crash inside
// RunInside would otherwise leave its input in the temporary directory, so unless the command
// line says where, artifacts go to the directory the fuzzer was started in.
inline void KeepArtifactsInStartDirectory(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) return;
    static std::string flag = "-artifact_prefix=" + std::filesystem::current_path().string() + "/";
    static std::vector<char*> args(*argv, *argv + *argc);
    args.push_back(flag.data());
    args.push_back(nullptr);
    *argv = args.data();
    ++*argc;
}

// The lines of a list as the list readers see them: split at '\n', each cut at its first NUL
// (lines are read as C strings), ending before the first line longer than maxLine characters.
inline std::vector<std::string> ListLines(char const* data, std::size_t size, std::size_t maxLine) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < size;) {
        char const* nl = static_cast<char const*>(std::memchr(data + pos, '\n', size - pos));
        std::size_t const end = nl ? static_cast<std::size_t>(nl - data) : size;
        if (end - pos > maxLine) break;
        lines.emplace_back(std::string(data + pos, end - pos).c_str());
        pos = end + 1;
    }
    return lines;
}

// The lines of an output text, each ended by '\n' (checked).
inline std::vector<std::string> OutputLines(std::string const& text) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t const nl = text.find('\n', pos);
        FUZZ_CHECK(nl != std::string::npos);
        lines.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return lines;
}

}  // namespace fuzz
