// The substitution table is filled by the first reset of the process; here
// that first reset happens on many threads at once.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "algorithms/gost3411.h"

namespace {

TEST(Gost3411Threads, ConcurrentFirstResetsAllHashCorrectly) {
    std::vector<std::string> results(16);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&result] {
            char text[65];
            HashGOST3411("abc", 3).ToCSTR(text, false);
            result = text;
        });
    for (auto& t : threads) t.join();
    for (auto const& r : results)
        EXPECT_EQ(r, "b285056dbf18d7392d7677369524dd14747459ed8143997e163b2986f92fd42c");
}

}  // namespace
