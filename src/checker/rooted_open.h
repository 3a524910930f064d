// Opening a name inside a directory tree as if that directory were "/".
#pragma once

#include <string>

namespace HashFileChecker {

// Opens name as if the directory rootFd were "/": an absolute name, and every
// absolute symlink target on the way, starts at the root; ".." never climbs
// above it; symlinks are followed as open(2) follows them (at most 40 in all,
// then ELOOP). Nothing outside the root is reached. flags as for open(2)
// (O_NOFOLLOW, O_PATH, O_DIRECTORY ... apply as usual, O_CLOEXEC always added);
// nothing is created: O_CREAT and O_TMPFILE are EINVAL.
// Returns the descriptor, or -1 with errno (ENOENT, ENOTDIR, ELOOP, EACCES,
// ENAMETOOLONG, ...) as open(2) would give inside a chroot to rootFd.
// An empty name is ENOENT, as open("") is.
//
// The kernel resolves the name (openat2 with RESOLVE_IN_ROOT) where it can; where
// it cannot (an older kernel, an emulator, a filter that refuses the call: decided
// by the first call of the process), our own resolver walks the name a component
// at a time, holding a descriptor for each directory it stands in. Two differences
// remain: the kernel refuses a magic link of /proc (ELOOP), ours follows its text
// inside the root; ours needs a descriptor per directory level of the name (EMFILE
// when they run out).
int OpenInRoot(int rootFd, char const* name, int flags);

// A directory every name of a run is resolved in, open while it lives (O_PATH);
// none (Fd() -1) for an empty path, unless emptyIsSlash. Throws the open failure
// as FileIOException with the path.
class RootDirectory {
public:
    explicit RootDirectory(std::string const& path, bool emptyIsSlash = false);
    ~RootDirectory();
    RootDirectory(RootDirectory const&) = delete;
    RootDirectory& operator=(RootDirectory const&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

// For tests: true makes every later OpenInRoot use our own resolver, false
// gives back the one chosen for the process.
void UseOwnRootResolver(bool own);
// True when the kernel's resolver is the one chosen for the process.
bool KernelResolvesInRoot();

}  // namespace HashFileChecker
