#include "core/file_replace.h"

#include <cerrno>

int writeSyncClose(std::FILE* f, int (*write)(std::FILE*), char* buffer, std::size_t size,
                   int* written, int (*sync)(std::FILE*))
{
    std::setvbuf(f, buffer, _IOFBF, size);
    errno = 0;
    *written = write(f);
    int e = *written < 0 ? (errno ? errno : EIO) : 0;
    if (e == 0 && std::fflush(f) != 0)
        e = errno ? errno : EIO;
    // A removed medium or a full disk may only show when the data is forced out.
    if (e == 0 && sync(f) != 0)
        e = errno ? errno : EIO;
    if (std::fclose(f) != 0 && e == 0)
        e = errno ? errno : EIO;
    return e;
}
