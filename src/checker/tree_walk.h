// Walking the tree below a directory inside a root, one entry at a time.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace HashFileChecker {

// One entry of a tree that is not a directory.
struct TreeEntry {
    enum Kind {
        File,             // a regular file
        LinkToFile,       // a symlink that leads (as if the root were "/") to a regular file
        LinkToDirectory,  // a symlink that leads to a directory: not descended into
        LinkToSpecial,    // a symlink that leads to a FIFO, socket or device
        LinkToNothing,    // a symlink that leads to nothing inside the root (dangling, or through a non-directory)
        LinkLoop,         // a symlink that goes round a loop, or through more than 40 symlinks (ELOOP)
        Special,          // a FIFO, socket or device
    };
    Kind kind;
    // Below the root, components joined by '/', no leading '/' ("usr/bin/ls"),
    // the start as given (its slashes at both ends dropped) followed by the names
    // read, byte for byte. Valid only during the call.
    std::string const& path;
    // The file type (S_IFMT bits) of what the entry is or leads to; 0 when it leads to nothing.
    mode_t type;
};

// Calls visit for every entry below start (a path inside the root, "" for the
// whole tree; symlinks on its way followed inside the root) that is not a
// directory; directories are descended into, symlinks to them are not. Entries
// come in the order the directories give them. Memory does not grow with the
// number of entries: directories are read as streams, one open directory per
// level of the current path, and only that path is held.
// A symlink is resolved with OpenInRoot and O_PATH: no target is opened for
// reading, so nothing blocks on a FIFO and no device is opened.
// Throws FileIOException with the path concerned: a directory (the start too)
// that cannot be opened or read, also when descriptors run out (EMFILE) on a
// deep tree; a symlink that cannot be resolved for another reason than ENOENT,
// ENOTDIR or ELOOP (EACCES, ENAMETOOLONG ...). What visit throws goes through.
void WalkTree(int rootFd, std::string const& start, std::function<void(TreeEntry const&)> const& visit);

}  // namespace HashFileChecker
