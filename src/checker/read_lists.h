// Reading file lists: the entries of a hash run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace HashFileChecker {

// Appends the non-empty lines of a file list to text, each up to its first
// NUL and ended by a NUL, and where each begins to starts; a line over
// kFileListLine characters ends the list.
void LoadFileList(char const* path, std::string& text, std::vector<std::size_t>& starts);

}  // namespace HashFileChecker
