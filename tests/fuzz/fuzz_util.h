// Shared by the fuzz targets: invariant checks that abort with a message (a crash to libFuzzer, a
// failed test to the replay driver), and the private directory the list targets work in.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#define FUZZ_CHECK(c) \
    ((c) ? (void)0 : (std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #c), abort()))

namespace fuzz {

// Runs work in a temporary directory holding the input as "list" beside abc.txt, empty, b.bin and
// sub/c.txt, then returns to the current directory; false when work threw a std::exception. The
// directory is removed at exit; a crash inside leaves libFuzzer there: run the list targets with
// -artifact_prefix=$PWD/.
inline std::string MakeListDir() {
    std::string dir = (std::filesystem::temp_directory_path() / "icv-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(&dir[0]) && std::filesystem::create_directory(dir + "/sub"));
    std::ofstream(dir + "/abc.txt") << "abc";
    std::ofstream(dir + "/empty");
    std::ofstream(dir + "/b.bin") << std::string("\0\x01\xfe\xff\n\r=#", 8);
    std::ofstream(dir + "/sub/c.txt") << std::string(200, 'c');
    return dir;
}

template <class Work>
bool InListDir(void const* data, std::size_t size, Work const& work) {
    static std::string const dir = MakeListDir();
    static int const cleanup = std::atexit([] { std::filesystem::remove_all(dir); });
    int const back = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FUZZ_CHECK(cleanup == 0 && back >= 0 && chdir(dir.c_str()) == 0);
    std::ofstream("list", std::ios::binary).write(static_cast<char const*>(data), size);
    bool done = true;
    try {
        work();
    } catch (std::exception const&) {
        done = false;
    }
    FUZZ_CHECK(fchdir(back) == 0 && close(back) == 0);
    return done;
}

}  // namespace fuzz
