#include "core/file_open.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    return FileKind::Other;
}

}  // namespace

FileKind fileKindAt(const char* path)
{
    struct stat st {};
    if (stat(path, &st) == 0)
        return kindOf(st.st_mode);
    if (errno == ENOENT && lstat(path, &st) == 0 && S_ISLNK(st.st_mode))
        return FileKind::DanglingLink;
    return FileKind::Missing;
}

std::FILE* openRegularFile(const char* path, FileKind* kind, long long* size, int* errnum)
{
    *kind = FileKind::Regular;
    *size = 0;
    *errnum = 0;
    // Without O_NONBLOCK the open of a FIFO waits for a writer.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *errnum = errno;
        if (*errnum == ENOENT)
            *kind = fileKindAt(path) == FileKind::DanglingLink ? FileKind::DanglingLink
                                                               : FileKind::Missing;
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        *errnum = errno;
        close(fd);
        return nullptr;
    }
    *kind = kindOf(st.st_mode);
    if (*kind != FileKind::Regular) {
        close(fd);
        return nullptr;
    }
    *size = static_cast<long long>(st.st_size);
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        *errnum = errno;
        close(fd);
        return nullptr;
    }
    std::FILE* f = fdopen(fd, "rb");
    if (f == nullptr) {
        *errnum = errno;
        close(fd);
    }
    return f;
}
