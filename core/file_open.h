// Opening a data file only when it is a regular file. A FIFO would block the
// open and every read until a writer comes, a device may never end, and a
// directory cannot be read as a file; none of them is a data file. The check
// itself never blocks.
//
// One implementation per system: file_open_posix.cpp, file_open_win32.cpp.
#pragma once

#include <cstdio>

enum class FileKind {
    Missing,       // nothing of that name (or the path cannot be looked at: see errnum)
    Regular,
    Directory,
    Fifo,
    Device,
    Socket,
    DanglingLink,  // a symbolic link to nothing
    Other,
};

// "a FIFO (named pipe)", "a directory", ... for the user.
const char* fileKindText(FileKind kind);

// What `path` names, following symbolic links, without opening it.
FileKind fileKindAt(const char* path);

// Opens `path` for reading in binary when it is a regular file. Otherwise
// returns null with *kind telling what it is (Regular with *errnum set when
// the open or the check failed for another reason, Missing for ENOENT).
// *size gets the file's size in bytes.
std::FILE* openRegularFile(const char* path, FileKind* kind, long long* size, int* errnum);
