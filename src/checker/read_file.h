// Reading one file into a calculator.
#pragma once

#include <functional>

#include "checker/hashfile_checker.h"
#include "hash/hash.h"

namespace HashFileChecker {

// Feeds every byte of the named file to calc in 64 KiB blocks. The size is
// measured first and exactly that many bytes are hashed; a file that ends
// early, and anything but a regular file or device that can be measured, is a
// "File read error". Opening never blocks (FIFOs fail at the seek). Before
// each block it asks keepGoing, when given: false abandons the file and
// returns false, leaving calc partly fed.
bool GetFileHash(char const* fileName, IHash_Calc& calc, ProgressListener* progress = nullptr,
                 std::function<bool()> const& keepGoing = nullptr);

}  // namespace HashFileChecker
