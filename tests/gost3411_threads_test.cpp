// The substitution table is filled by the first reset of the process; here that first reset
// happens on many threads at once. Run under ThreadSanitizer (label tsan).
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "algorithms/gost3411.h"

TEST(Gost3411Threads, ConcurrentFirstResetsAllHashCorrectly) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 16; ++i)
        threads.emplace_back([] {  // digest of "abc": see data/digest_vectors.txt
            EXPECT_TRUE(HashGOST3411("abc", 3).Check(
                "b285056dbf18d7392d7677369524dd14747459ed8143997e163b2986f92fd42c", false));
        });
    for (auto& t : threads) t.join();
}
