#include "core/field_helpers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

bool isSeparator(char c)
{
    return c == ':' || c == ';' || c == ',';
}

// ASCII letters only, so the result does not depend on the locale or on the
// sign of char for bytes above 127.
bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// A reading without a value: the meter's error form, the error text in place
// of a number and no unit.
void noValue(ChannelRecord* rec, const char* code)
{
    copyText(rec->unit, "Nul");
    copyText(rec->valStr, code);
    rec->value = std::numeric_limits<float>::quiet_NaN();
}

// The whole text as one finite number that fits a float, read the C way.
bool readsAsNumber(const char* text, float* value)
{
    const char* end = text + std::strlen(text);
    float v = 0.0f;
    const auto r = std::from_chars(text, end, v, std::chars_format::fixed);
    if (r.ec != std::errc{} || r.ptr != end || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

}  // namespace

int GetStrTerm(char* dst, std::size_t capacity, const char* src)
{
    int len = 0;
    std::size_t stored = 0;
    while (src[len] != '\0' && !isSeparator(src[len])) {
        if (stored + 1 < capacity) {
            dst[stored++] = src[len];
        }
        ++len;
    }
    if (capacity > 0) {
        dst[stored] = '\0';
    }
    return len;
}

int GetCharPos(const char* str, char ch)
{
    int i = 0;
    while (str[i] != ch && str[i] != '\0') {
        ++i;
    }
    return i;
}

int CheckLrc(char* buf)
{
    int n = GetCharPos(buf, '\r');
    if (n <= 2) {
        return 0;  // needs at least one content character and two check characters
    }
    n -= 2;

    // A meter sends exactly two hex digits here. Anything else (a sign, a
    // blank, one digit) is rejected rather than read the lenient "%x" way.
    const int hi = hexDigitValue(buf[n]);
    const int lo = hexDigitValue(buf[n + 1]);
    if (hi < 0 || lo < 0) {
        return 0;
    }

    unsigned int sum = static_cast<unsigned int>(hi * 16 + lo);
    for (int i = 0; i < n; ++i) {
        sum += static_cast<unsigned char>(buf[i]);
    }
    if ((sum & 0xFFu) != 0) {
        return 0;
    }
    buf[n] = '\0';
    return 1;
}

void analysisValStr(char* str, ChannelRecord* rec)
{
    if (str[0] == '_') {
        noValue(rec, "E01");  // the meter sent no number
        return;
    }

    int k = 0;
    while (str[k] != '\0' && str[k] != '%' && !isLetter(str[k])) {
        ++k;
    }

    if (str[k] == '\0') {
        copyText(rec->unit, "Nul");
    } else {
        copyText(rec->unit, str + k);
    }
    str[k] = '\0';

    // Start of the shown text: drop leading zeros and blanks but keep one digit
    // in front of the decimal point, and keep a minus sign next to the digits.
    int j = 0;
    if (str[0] == '-') {
        j = 1;
        while (str[j] == '0' || str[j] == ' ') {
            ++j;
        }
        if (j == k) {
            --j;  // only zeros after the sign: show one "0", without the sign
        } else {
            if (str[j] == '.' && j > 0) {
                --j;
            }
            if (j > 0) {
                --j;
            }
            str[j] = '-';
        }
    } else {
        while (str[j] == '0' || str[j] == ' ') {
            ++j;
        }
        if (str[j] == '.' && j > 0) {
            --j;
        }
        if (j == k && j > 0) {
            --j;
        }
    }

    // The value used is the text shown, read back: a text that is no clean
    // number, or one too long to be shown whole, has no value at all rather
    // than a stale or partial one.
    const char* shown = str + j;
    float value = 0.0f;
    if (std::strlen(shown) >= sizeof rec->valStr || !readsAsNumber(shown, &value)) {
        noValue(rec, kUnreadableText);
        return;
    }
    copyText(rec->valStr, shown);
    rec->value = value;
}

void analySisErrorStr(char* str, ChannelRecord* rec)
{
    // The leading "E" is always kept; guard the empty text so the scan does
    // not start behind its terminator.
    int i = (str[0] == '\0') ? 0 : 1;
    while (str[i] != '\0' && !isLetter(str[i])) {
        ++i;
    }
    str[i] = '\0';

    copyText(rec->valStr, str);
    copyText(rec->unit, "Nul");
    rec->value = std::numeric_limits<float>::quiet_NaN();
}
