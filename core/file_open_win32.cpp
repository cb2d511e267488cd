#include "core/file_open.h"

#include <cerrno>

#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

FileKind kindOf(unsigned short mode)
{
    if ((mode & _S_IFMT) == _S_IFREG)
        return FileKind::Regular;
    if ((mode & _S_IFMT) == _S_IFDIR)
        return FileKind::Directory;
    if ((mode & _S_IFMT) == _S_IFCHR)
        return FileKind::Device;
    return FileKind::Other;
}

}  // namespace

FileKind fileKindAt(const char* path)
{
    struct _stat64 st {};
    if (_stat64(path, &st) == 0)
        return kindOf(st.st_mode);
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return FileKind::DanglingLink;
    return FileKind::Missing;
}

std::FILE* openRegularFile(const char* path, FileKind* kind, long long* size, int* errnum)
{
    *kind = fileKindAt(path);
    *size = 0;
    *errnum = 0;
    if (*kind == FileKind::Missing || *kind == FileKind::DanglingLink) {
        *errnum = ENOENT;
        return nullptr;
    }
    if (*kind != FileKind::Regular)
        return nullptr;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        *errnum = errno;
        return nullptr;
    }
    // A pipe or a console behind the name answers to GetFileType, not to stat.
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    const DWORD type = GetFileType(h);
    if (type != FILE_TYPE_DISK) {
        *kind = type == FILE_TYPE_PIPE ? FileKind::Fifo : FileKind::Device;
        std::fclose(f);
        return nullptr;
    }
    struct _stat64 st {};
    if (_fstat64(_fileno(f), &st) == 0)
        *size = static_cast<long long>(st.st_size);
    return f;
}
