// Uses the installed icv library: prints the tagged GOST R 34.11-2012 digest of
// "abc" made through the factory; the install test compares it with the known one.
#include <icv/checker/hashfile_checker.h>
#include <icv/hash/hash.h>

#include <iostream>
#include <memory>

int main() {
    std::unique_ptr<IHashFactory> factory(createHashFactory(HashFileChecker::GOST_3411_2012));
    std::unique_ptr<IHash> digest(factory->createHash("abc", 3));
    std::cout << digest->ToStr(false, true) << '\n';
}
