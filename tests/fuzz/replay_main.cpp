// Runs a fuzz target once over each file under the directory given: the checked-in corpus
// replayed as a plain test, without libFuzzer. Each input's name is printed before it runs, so a
// broken invariant follows the name of the input that broke it.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size);

int main(int, char** argv) {
    std::size_t count = 0;
    for (auto const& entry : std::filesystem::recursive_directory_iterator(argv[1])) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string const bytes{std::istreambuf_iterator<char>(in), {}};
        std::fprintf(stderr, "%s\n", entry.path().c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<std::uint8_t const*>(bytes.data()), bytes.size());
        ++count;
    }
    return std::printf("%zu inputs replayed\n", count) < 0 || count == 0;
}
