// A directory of its own for a test's files, under the system's temporary
// directory, on POSIX systems and on Windows alike, and its files' bytes.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace {

// A new, empty directory; "" when none could be made.
inline std::string makeTempDir(const char* prefix)
{
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec)
        return {};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto dir = base / (std::string(prefix) + "-" + std::to_string(random()));
        if (std::filesystem::create_directory(dir, ec))
            return dir.string();
    }
    return {};
}

// Removes the directory and all it holds; false when that failed.
inline bool removeTempDir(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return !ec;
}

// A file's bytes, as stored; and a file written with exactly these bytes.
inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace
