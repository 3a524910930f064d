// The substitution table is filled by the first reset of the process; here that first reset
// happens on many threads at once. Run under ThreadSanitizer (label tsan).
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "algorithms/gost3411.h"

// The digest of "abc": see data/digest_vectors.txt.
char const kAbc[] = "b285056dbf18d7392d7677369524dd14747459ed8143997e163b2986f92fd42c";

TEST(Gost3411Threads, ConcurrentFirstResetsAllHashCorrectly) {
    std::vector<std::thread> threads(16);
    for (auto& t : threads)
        t = std::thread([] { EXPECT_TRUE(HashGOST3411("abc", 3).Check(kAbc, false)); });
    for (auto& t : threads) t.join();
}
