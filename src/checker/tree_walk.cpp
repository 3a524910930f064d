#include "checker/tree_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "checker/hashfile_checker.h"
#include "checker/rooted_open.h"

namespace HashFileChecker {

namespace {

char const kDirectoryFailure[] = "Can`t read directory.";

// The failure of the call that just failed, its error number taken first.
[[noreturn]] void Fail(std::string const& path, char const* message) {
    int const err = errno;
    throw FileIOException(path.c_str(), message, static_cast<unsigned>(err));
}

// The directories of the current path, from the start down, each with the
// length of its path; all closed at the end.
class Levels {
public:
    ~Levels() {
        for (Level const& level : levels_) ::closedir(level.dir);
    }
    bool empty() const { return levels_.empty(); }
    DIR* dir() const { return levels_.back().dir; }
    std::size_t length() const { return levels_.back().length; }
    // Takes fd, the directory at path, or throws with its path.
    void push(int fd, std::string const& path) {
        if (fd < 0) Fail(path, kDirectoryFailure);
        DIR* const dir = ::fdopendir(fd);
        if (dir == nullptr) {
            int const err = errno;
            ::close(fd);
            errno = err;
            Fail(path, kDirectoryFailure);
        }
        try {
            levels_.push_back({dir, path.size()});
        } catch (...) {
            ::closedir(dir);
            throw;
        }
    }
    void pop() {
        ::closedir(levels_.back().dir);
        levels_.pop_back();
    }

private:
    struct Level {
        DIR* dir;
        std::size_t length;
    };
    std::vector<Level> levels_;
};

// Where the symlink at path leads, found without opening its target.
TreeEntry::Kind LinkKind(int rootFd, std::string const& path, mode_t& type) {
    type = 0;
    int const fd = OpenInRoot(rootFd, path.c_str(), O_PATH);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return TreeEntry::LinkToNothing;
        if (errno == ELOOP) return TreeEntry::LinkLoop;
        Fail(path, "Can`t resolve symbolic link.");
    }
    struct stat st;
    int const statted = ::fstat(fd, &st);
    int const err = errno;
    ::close(fd);
    errno = err;
    if (statted != 0) Fail(path, "Can`t resolve symbolic link.");
    type = st.st_mode & S_IFMT;
    return S_ISREG(type) ? TreeEntry::LinkToFile : S_ISDIR(type) ? TreeEntry::LinkToDirectory : TreeEntry::LinkToSpecial;
}

}  // namespace

void WalkTree(int rootFd, std::string const& start, std::function<void(TreeEntry const&)> const& visit) {
    std::size_t const first = start.find_first_not_of('/');
    std::string path = first == std::string::npos ? "" : start.substr(first, start.find_last_not_of('/') + 1 - first);
    Levels levels;
    levels.push(OpenInRoot(rootFd, path.empty() ? "/" : path.c_str(), O_RDONLY | O_DIRECTORY), path);
    while (!levels.empty()) {
        path.resize(levels.length());
        errno = 0;
        dirent const* const entry = ::readdir(levels.dir());
        if (entry == nullptr) {
            if (errno != 0) Fail(path, kDirectoryFailure);
            levels.pop();
            continue;
        }
        char const* const name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        if (!path.empty()) path += '/';
        path += name;
        mode_t type = DTTOIF(entry->d_type);
        if (entry->d_type == DT_UNKNOWN) {  // a filesystem that does not say: ask the entry
            struct stat st;
            if (::fstatat(::dirfd(levels.dir()), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                Fail(path, kDirectoryFailure);
            type = st.st_mode & S_IFMT;
        }
        if (S_ISDIR(type)) {
            levels.push(::openat(::dirfd(levels.dir()), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), path);
            continue;
        }
        TreeEntry::Kind kind = TreeEntry::Special;
        if (S_ISREG(type)) kind = TreeEntry::File;
        if (S_ISLNK(type)) kind = LinkKind(rootFd, path, type);
        visit(TreeEntry{kind, path, type});
    }
}

}  // namespace HashFileChecker
