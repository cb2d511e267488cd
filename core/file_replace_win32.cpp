#include "core/file_replace.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cwchar>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

// Long enough for "\\?\" paths of the full length Windows allows.
constexpr DWORD kPathMax = 32768;

int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
        return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

// Narrow paths are read in the code page the C runtime's fopen reads them in.
bool widen(const char* path, wchar_t* out, DWORD size)
{
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, path, -1, out,
                               static_cast<int>(size)) > 0;
}

// The file a link names; false when the path names nothing yet.
bool finalPath(const wchar_t* path, wchar_t* out, DWORD size)
{
    const HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const DWORD n = GetFinalPathNameByHandleW(h, out, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    return n > 0 && n < size;
}

// A new, empty file "<target>.XXXXXX" opened for writing in binary.
int createTemp(const wchar_t* target, wchar_t* temp, std::size_t size, int* fd)
{
    static const wchar_t kDigits[] = L"0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                              GetTickCount64() ^ reinterpret_cast<std::uintptr_t>(temp);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        wchar_t suffix[7];
        unsigned long long bits = seed >> 16;
        for (int i = 0; i < 6; ++i, bits /= 36)
            suffix[i] = kDigits[bits % 36];
        suffix[6] = L'\0';
        const std::size_t n = std::wcslen(target);
        if (n + 8 > size)
            return ENAMETOOLONG;
        std::wmemcpy(temp, target, n);
        temp[n] = L'.';
        std::wmemcpy(temp + n + 1, suffix, 7);
        const errno_t e = _wsopen_s(fd, temp, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                    _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (e != EEXIST)
            return e;
    }
    return EEXIST;
}

}  // namespace

int replaceFile(const char* path, int (*write)(std::FILE*), char* buffer, std::size_t size,
                int* written)
{
    *written = -1;
    static wchar_t given[kPathMax];
    static wchar_t target[kPathMax];
    static wchar_t temp[kPathMax + 8];
    if (!widen(path, given, kPathMax))
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? ENAMETOOLONG : EINVAL;
    // Through a link the file it names gets the bytes; the link stays.
    if (!finalPath(given, target, kPathMax))
        std::wcscpy(target, given);

    const DWORD attributes = GetFileAttributesW(target);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return EISDIR;
    // Replacing would overwrite a file that the user has made read-only.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
        return EACCES;

    int fd = -1;
    if (const int e = createTemp(target, temp, sizeof temp / sizeof temp[0], &fd))
        return e;
    std::FILE* f = _fdopen(fd, "wb");
    if (f == nullptr) {
        const int e = errno;
        _close(fd);
        _wunlink(temp);
        return e;
    }
    int e = writeSyncClose(f, write, buffer, size, written,
                           [](std::FILE* out) { return _commit(_fileno(out)); });
    if (e == 0) {
        // ReplaceFileW keeps the old file's attributes and access rights; it
        // needs the old file to exist, and a few file systems refuse it.
        const bool replaced =
            exists && ReplaceFileW(target, temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                   nullptr, nullptr);
        if (!replaced &&
            !MoveFileExW(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            e = errnoOf(GetLastError());
    }
    if (e != 0)
        _wunlink(temp);
    return e;
}
