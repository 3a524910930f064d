// Shared by the fuzz targets: invariant checks that abort with a message (a crash to libFuzzer, a
// failed test to the replay driver), and the run of the list target.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#define FUZZ_CHECK(c) \
    ((c) ? (void)0 : (std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #c), abort()))

namespace fuzz {

// Calls work with the name of a temporary file holding the input, inside tests/data/fuzz_tree
// (abc.txt, empty, b.bin, sub/c.txt), the current directory again afterwards; false when work
// threw a std::exception. A crash inside leaves libFuzzer in that directory (see CMakeLists.txt).
template <class Work>
bool InTree(void const* data, std::size_t size, Work const& work) {
    std::FILE* list = std::tmpfile();
    FUZZ_CHECK(list && std::fwrite(data, 1, size, list) == size && std::fflush(list) == 0);
    auto const back = std::filesystem::current_path();
    std::filesystem::current_path(ICV_FUZZ_TREE);
    bool done = true;
    try {
        work(("/proc/self/fd/" + std::to_string(fileno(list))).c_str());
    } catch (std::exception const&) {
        done = false;
    }
    std::filesystem::current_path(back);
    return std::fclose(list) == 0 && done;
}

}  // namespace fuzz
