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

// The error text of a field whose number part does not read as one number
// (no digits, a second sign, too long to show, ...). No meter code looks like
// it: the meter's codes end at the first letter after the "E".
inline constexpr char kUnreadableText[] = "Err";

// Decodes a "number followed by unit" field into rec->value, rec->valStr and
// rec->unit. Cuts str after the number part. The value is the shown text read
// back; when that is no clean number the reading is an error (valStr
// kUnreadableText, unit "Nul", value NaN), as is "_" (E01).
void analysisValStr(char* str, ChannelRecord* rec);

// Decodes an error field ("E" and a code) into rec: valStr gets the code,
// unit "Nul", value NaN. Cuts str after the code.
void analySisErrorStr(char* str, ChannelRecord* rec);
