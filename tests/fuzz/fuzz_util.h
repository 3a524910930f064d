// Shared by the fuzz targets: invariant checks that abort with a message (a crash to libFuzzer, a
// failed test to the replay driver), and a private directory for the list targets.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#define FUZZ_CHECK(condition)                                                                    \
    ((condition) ? (void)0                                                                       \
                 : (std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition), \
                    std::abort()))

namespace fuzz {

// Runs work with the input written as "list" in a temporary directory (removed at exit) that also
// holds abc.txt, empty, b.bin and sub/c.txt, then returns to the previous current directory. A
// crash inside leaves libFuzzer there: run the list targets with -artifact_prefix=$PWD/.
template <class Work>
void InListDir(void const* data, std::size_t size, Work const& work) {
    static struct Dir {
        std::string path = (std::filesystem::temp_directory_path() / "icv-fuzz-XXXXXX").string();
        Dir() {
            FUZZ_CHECK(mkdtemp(path.data()) != nullptr);
            std::filesystem::create_directory(path + "/sub");
            std::ofstream(path + "/abc.txt") << "abc";
            std::ofstream(path + "/empty");
            std::ofstream(path + "/b.bin") << std::string("\0\x01\xfe\xff\n\r=#", 8);
            std::ofstream(path + "/sub/c.txt") << std::string(200, 'c');
        }
        ~Dir() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } const dir;
    int const back = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FUZZ_CHECK(back >= 0 && chdir(dir.path.c_str()) == 0);
    // Rewritten in place and cut to size: truncating first makes ext4 flush the file at close.
    int const fd = open("list", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    FUZZ_CHECK(ftruncate(fd, static_cast<off_t>(size)) == 0 && close(fd) == 0);
    work();
    FUZZ_CHECK(fchdir(back) == 0 && close(back) == 0);
}

}  // namespace fuzz
