#include "checker/rooted_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "checker/hashfile_checker.h"

#ifndef SYS_openat2
#define SYS_openat2 437  // the same number on every architecture that has it
#endif

namespace HashFileChecker {

namespace {

// The symlinks one name may go through, as the kernel allows.
constexpr int kMaxSymlinks = 40;

// openat2's argument and the resolve flags used, as the kernel defines them.
struct OpenHow {
    std::uint64_t flags, mode, resolve;
};
constexpr std::uint64_t kResolveNoMagicLinks = 0x02, kResolveInRoot = 0x10;

std::atomic<bool> forceOwn{false};

// A descriptor closed when it goes out of scope, errno left as it was.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        int const err = errno;
        if (fd_ >= 0) ::close(fd_);
        errno = err;
    }
    Fd(Fd const&) = delete;
    Fd& operator=(Fd const&) = delete;
    int get() const { return fd_; }
    int release() { int const fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

// The directories from the root down to the one the walk stands in; the root's
// descriptor is the caller's and is not closed.
class DirStack {
public:
    explicit DirStack(int rootFd) : root_(rootFd) {}
    ~DirStack() {
        int const err = errno;
        for (int fd : fds_) ::close(fd);
        errno = err;
    }
    DirStack(DirStack const&) = delete;
    DirStack& operator=(DirStack const&) = delete;
    int top() const { return fds_.empty() ? root_ : fds_.back(); }
    void push(Fd& fd) {
        fds_.push_back(-1);
        fds_.back() = fd.release();
    }
    void pop() {  // ".." at the root stays at the root
        if (fds_.empty()) return;
        ::close(fds_.back());
        fds_.pop_back();
    }
    void toRoot() {
        while (!fds_.empty()) pop();
    }

private:
    int root_;
    std::vector<int> fds_;
};

int fail(int err) {
    errno = err;
    return -1;
}

// The text of the symlink name in dir ("" with dir the link itself); false with errno.
bool readLink(int dir, char const* name, std::string& target) {
    char buffer[PATH_MAX];
    ssize_t const n = ::readlinkat(dir, name, buffer, sizeof buffer);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) >= sizeof buffer) return fail(ENAMETOOLONG), false;
    target.assign(buffer, static_cast<std::size_t>(n));
    return true;
}

// Our own resolver: one component at a time, each looked up with O_NOFOLLOW in
// a directory already reached, a symlink's text put in its place, ".." taken
// from the directories held rather than from the filesystem.
int ownOpen(int rootFd, char const* name, int flags) {
    std::size_t const length = std::strlen(name);
    if (length == 0) return fail(ENOENT);
    if (length >= PATH_MAX) return fail(ENAMETOOLONG);
    DirStack dirs(rootFd);
    std::string path(name, length), target;
    std::size_t pos = 0;
    int links = 0;
    for (;;) {
        while (pos < path.size() && path[pos] == '/') ++pos;
        // Nothing left: the name ends at a directory (the root, ".", "..").
        if (pos == path.size()) return ::openat(dirs.top(), ".", flags | O_CLOEXEC);
        std::size_t const end = std::min(path.find('/', pos), path.size());
        std::string const component = path.substr(pos, end - pos);
        std::size_t next = end;
        while (next < path.size() && path[next] == '/') ++next;
        bool const last = next == path.size();
        if (component == "." || component == "..") {
            // A dot needs search permission in the directory, as the kernel asks.
            Fd here(::openat(dirs.top(), ".", O_PATH | O_CLOEXEC));
            if (here.get() < 0) return -1;
            if (component == "..") dirs.pop();
            pos = end;
            continue;
        }
        if (last) {
            // Trailing slashes: a directory wanted, and a symlink followed even with O_NOFOLLOW.
            bool const slash = end < path.size();
            bool const follow = slash || !(flags & O_NOFOLLOW);
            Fd fd(::openat(dirs.top(), component.c_str(),
                           flags | O_NOFOLLOW | O_CLOEXEC | (slash ? O_DIRECTORY : 0)));
            if (!follow) return fd.release();
            if (fd.get() >= 0) {
                struct stat st;
                if (!(flags & O_PATH)) return fd.release();  // only O_PATH opens a symlink
                if (::fstat(fd.get(), &st) != 0) return -1;
                if (!S_ISLNK(st.st_mode)) return fd.release();
                if (!readLink(fd.get(), "", target)) return -1;
            } else {
                // A symlink refused by O_NOFOLLOW (ELOOP, or ENOTDIR with O_DIRECTORY).
                int const err = errno;
                if (err != ELOOP && err != ENOTDIR) return -1;
                if (!readLink(dirs.top(), component.c_str(), target)) return fail(err);
            }
        } else {
            Fd fd(::openat(dirs.top(), component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            struct stat st;
            if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return -1;
            if (S_ISDIR(st.st_mode)) {
                dirs.push(fd);
                pos = end;
                continue;
            }
            if (!S_ISLNK(st.st_mode)) return fail(ENOTDIR);
            if (!readLink(fd.get(), "", target)) return -1;
        }
        // Follow the symlink: its text takes the place of the component.
        if (++links > kMaxSymlinks) return fail(ELOOP);
        if (target.empty()) return fail(ENOENT);
        if (target[0] == '/') dirs.toRoot();
        path = target + path.substr(end);
        pos = 0;
    }
}

int kernelOpen(int rootFd, char const* name, int flags) {
    OpenHow how = {};
    // open(2) ignores the flags O_PATH does not use; openat2 refuses them.
    if (flags & O_PATH) flags &= O_PATH | O_DIRECTORY | O_NOFOLLOW;
    how.flags = static_cast<unsigned>(flags | O_CLOEXEC);
    how.resolve = kResolveInRoot | kResolveNoMagicLinks;
    return static_cast<int>(::syscall(SYS_openat2, rootFd, name, &how, sizeof how));
}

bool kernelWorks() {
    static bool const works = [] {
        int const fd = kernelOpen(AT_FDCWD, ".", O_PATH);
        if (fd >= 0) return ::close(fd), true;
        return errno != ENOSYS && errno != EPERM && errno != EINVAL && errno != E2BIG;
    }();
    return works;
}

}  // namespace

int OpenInRoot(int rootFd, char const* name, int flags) {
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) return fail(EINVAL);
    if (!forceOwn && kernelWorks()) {
        int const fd = kernelOpen(rootFd, name, flags);
        // EAGAIN: a rename or mount somewhere while the kernel went up a "..";
        // our resolver has no such race to lose.
        if (fd >= 0 || errno != EAGAIN) return fd;
    }
    try {
        return ownOpen(rootFd, name, flags);
    } catch (std::bad_alloc const&) {
        return fail(ENOMEM);
    }
}

void UseOwnRootResolver(bool own) {
    forceOwn = own;
}

bool KernelResolvesInRoot() {
    return kernelWorks();
}

RootDirectory::RootDirectory(std::string const& path, bool emptyIsSlash) {
    if (path.empty() && !emptyIsSlash) return;
    char const* const name = path.empty() ? "/" : path.c_str();
    fd_ = ::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        int const err = errno;
        throw FileIOException(name, "Can`t open File for reading.", err);
    }
}

RootDirectory::~RootDirectory() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace HashFileChecker
