// Reading the two list formats: file lists and hash lists.
#pragma once

#include <list>
#include <string>

namespace HashFileChecker {

// Appends the non-empty lines of a file list, each up to its first NUL; a
// line over 8192 characters ends the list.
void LoadFileList(char const* path, std::list<std::string>& entries);

}  // namespace HashFileChecker
