#include "core/file_replace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t currentUmask()
{
    const mode_t m = umask(0);
    umask(m);
    return m;
}

}  // namespace

int replaceFile(const char* path, int (*write)(std::FILE*), char* buffer, std::size_t size,
                int* written)
{
    *written = -1;
    // Through a link the file it names gets the bytes; the link stays.
    char target[PATH_MAX];
    if (!realpath(path, target)) {
        if (errno != ENOENT)
            return errno;
        // A link to nothing: the rename would replace the link itself.
        struct stat link {};
        if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode))
            return ENOENT;
        if (std::strlen(path) >= sizeof target)
            return ENAMETOOLONG;
        std::strcpy(target, path);
    }
    struct stat st {};
    const bool exists = stat(target, &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return EISDIR;
    // Nor is a FIFO or a device replaced by a regular file.
    if (exists && !S_ISREG(st.st_mode))
        return EINVAL;
    // The rename would replace a file that the user has made read-only.
    if (exists && access(target, W_OK) != 0)
        return errno;
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~currentUmask());

    char temp[PATH_MAX + 8];
    if (std::snprintf(temp, sizeof temp, "%s.XXXXXX", target) >= static_cast<int>(sizeof temp))
        return ENAMETOOLONG;
    const int fd = mkstemp(temp);
    if (fd < 0)
        return errno;
    fchmod(fd, mode);
    std::FILE* f = fdopen(fd, "w");
    if (f == nullptr) {
        const int e = errno;
        close(fd);
        unlink(temp);
        return e;
    }
    int e = writeSyncClose(f, write, buffer, size, written,
                           [](std::FILE* out) { return fsync(fileno(out)); });
    if (e == 0 && std::rename(temp, target) != 0)
        e = errno ? errno : EIO;
    if (e != 0)
        unlink(temp);
    return e;
}
