// Frames for the benchmarks and probes, with their check sum.
#pragma once

#include <cstdio>
#include <string>

// `content` followed by its LRC in two hex digits: the bytes and the check
// sum add up to 0 modulo 256.
inline std::string withLrc(const std::string& content)
{
    unsigned sum = 0;
    for (unsigned char c : content)
        sum += c;
    char check[3];
    std::snprintf(check, sizeof check, "%02X", (256u - sum % 256u) % 256u);
    return content + check;
}
