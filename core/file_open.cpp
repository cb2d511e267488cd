#include "core/file_open.h"

const char* fileKindText(FileKind kind)
{
    switch (kind) {
    case FileKind::Missing: return "nothing (no such file)";
    case FileKind::Regular: return "a regular file";
    case FileKind::Directory: return "a directory";
    case FileKind::Fifo: return "a FIFO (named pipe)";
    case FileKind::Device: return "a device";
    case FileKind::Socket: return "a socket";
    case FileKind::DanglingLink: return "a symbolic link to nothing";
    case FileKind::Other: return "no regular file";
    }
    return "no regular file";
}
