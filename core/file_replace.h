// Replaces a file whole or not at all. The bytes go to a temporary file beside
// the target, are forced to the disk, and only then take the target's name, so
// a full disk or a pulled medium leaves the old file as it was and no
// temporary file behind. Through a link, the file the link names is replaced
// and the link stays; a file that exists keeps its permissions. A directory,
// a FIFO, a device, a link to nothing or a file the user made read-only is
// not replaced.
//
// One implementation per system: file_replace_posix.cpp, file_replace_win32.cpp.
#pragma once

#include <cstddef>
#include <cstdio>

// Writes the file `path` through `write` into a fully buffered stream (using
// `buffer` of `size` bytes), which writes in binary: the bytes given are the
// bytes stored. `write` returns a negative number when it fails, with errno
// telling why when known; *written gets what it returned. Returns 0, or the
// errno value why the file was not replaced.
int replaceFile(const char* path, int (*write)(std::FILE*), char* buffer, std::size_t size,
                int* written);

// For both implementations: writes through `write` into `f`, fully buffered
// in `buffer`, flushes it, forces it to the disk with `sync` and closes it
// whatever happened. Returns 0, or the errno value of the first failure.
int writeSyncClose(std::FILE* f, int (*write)(std::FILE*), char* buffer, std::size_t size,
                   int* written, int (*sync)(std::FILE*));
