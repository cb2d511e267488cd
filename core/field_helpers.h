// Text helpers shared by the frame decoders: field splitting, character
// search, the LRC check of new-meter frames, and turning one channel field
// into the reading of a ChannelRecord. They work in place and never allocate.
#pragma once

#include <cstddef>

#include "core/channel.h"

// Copies the field at src (up to ":", ";", "," or NUL, separator excluded)
// into dst, truncated to capacity - 1 characters and always terminated
// (nothing is written when capacity is 0).
//
// Returns the length of the field in the SOURCE, not the number of characters
// stored: callers step over the field with pos += result + 1, so a truncated
// copy must not shorten the step or the following fields would be misread.
int GetStrTerm(char* dst, std::size_t capacity, const char* src);

template <std::size_t N>
inline int GetStrTerm(char (&dst)[N], const char* src)
{
    return GetStrTerm(dst, N, src);
}

// Index of the first ch in str, or the length of str when ch is absent
// (so asking for NUL gives the length).
int GetCharPos(const char* str, char ch);

// Checks the two hexadecimal check characters in front of the CR (or the end
// of the text when there is no CR). On success cuts the text before them and
// returns 1; otherwise returns 0 and leaves buf untouched.
int CheckLrc(char* buf);

// Decodes a "number followed by unit" field into rec->value, rec->valStr and
// rec->unit. Cuts str after the number part. rec->value is kept when the
// number part holds no number.
void analysisValStr(char* str, ChannelRecord* rec);

// Decodes an error field ("E" and a code) into rec: valStr gets the code,
// unit "Nul", value 0.0. Cuts str after the code.
void analySisErrorStr(char* str, ChannelRecord* rec);
