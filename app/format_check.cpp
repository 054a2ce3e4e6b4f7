#include "app/format_check.h"

#include <cstring>

namespace {
constexpr int kMaxFieldDigits = 3;

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// Steps over at most kMaxFieldDigits digits; false when there are more.
bool SkipNumber(const char*& pos)
{
    int digits = 0;
    while (IsDigit(*pos)) {
        ++pos;
        if (++digits > kMaxFieldDigits)
            return false;
    }
    return true;
}

// The argument kind that a conversion character takes: 's', 'd', or 0 when the
// launcher never gives such an argument.
char KindOfConversion(char conversion)
{
    if (conversion == 's')
        return 's';
    if (conversion != '\0' && std::strchr("diuxXo", conversion))
        return 'd';
    return 0;
}
}  // namespace

bool FormatFitsArguments(const char* format, const char* kinds)
{
    if (!format)
        return true;
    const size_t argumentCount = kinds ? std::strlen(kinds) : 0;
    size_t used = 0;
    for (const char* pos = format; *pos; ++pos) {
        if (*pos != '%')
            continue;
        ++pos;
        if (*pos == '%')
            continue;
        while (*pos && std::strchr("-+ #0", *pos))
            ++pos;
        if (!SkipNumber(pos))
            return false;
        if (*pos == '.') {
            ++pos;
            if (!SkipNumber(pos))
                return false;
        }
        const char kind = KindOfConversion(*pos);
        if (kind == 0 || used >= argumentCount || kinds[used] != kind)
            return false;
        ++used;
    }
    return true;
}
