#include "base/safe_name.h"

namespace {
constexpr std::string_view kSeparators = "\\/";
// The separators, the stream or drive mark, and the zero byte that ends a name for Windows.
constexpr std::string_view kRefusedBytes("\\/:\0", 4);

char ToUpperAscii(char ch)
{
    return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view upper)
{
    if (text.size() != upper.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (ToUpperAscii(text[i]) != upper[i])
            return false;
    }
    return true;
}

// Windows drops dots and spaces from the end of a name, so such a name (the empty one
// included) names the folder it lies in or, with two dots or more, the folder above.
bool IsOnlyDotsAndSpaces(std::string_view name)
{
    return name.find_first_not_of(". ") == std::string_view::npos;
}

// The last byte of COM<n> and LPT<n>.  Windows reserves 1 to 9 and the superscripts
// 1, 2 and 3, which are the bytes B9, B2 and B3 in Western code pages; the naming rules
// list 0 too.  Under code page 936 those three bytes are lead bytes that cannot end a
// name, so refusing them costs no real name there and keeps the check right elsewhere.
bool IsPortNumber(char ch)
{
    const unsigned char byte = static_cast<unsigned char>(ch);
    return (byte >= '0' && byte <= '9') || byte == 0xB9 || byte == 0xB2 || byte == 0xB3;
}

// The part of a name that Windows compares with the device names: everything before
// the first dot, without the spaces that end it.
std::string_view DeviceStem(std::string_view name)
{
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    return stem;
}

bool IsDeviceName(std::string_view name)
{
    const std::string_view stem = DeviceStem(name);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualsIgnoringCase(stem, device))
            return true;
    }
    const std::string_view port = stem.substr(0, 3);
    return stem.size() == 4 && (EqualsIgnoringCase(port, "COM") || EqualsIgnoringCase(port, "LPT")) &&
           IsPortNumber(stem[3]);
}
}  // namespace

bool IsSafeFileName(std::string_view name)
{
    return !IsOnlyDotsAndSpaces(name) && name.find_first_of(kRefusedBytes) == std::string_view::npos &&
           !IsDeviceName(name);
}

namespace {
// Each component of path passes IsSafeFileName; with sameFolderAllowed, "." and empty
// components past the first pass too.
bool AreComponentsSafe(std::string_view path, bool sameFolderAllowed)
{
    if (!path.empty() && kSeparators.find(path.back()) != std::string_view::npos)
        path.remove_suffix(1);  // a folder
    for (bool first = true;; first = false) {
        const size_t end = path.find_first_of(kSeparators);
        const std::string_view component = path.substr(0, end);
        const bool sameFolder = component == "." || (component.empty() && !first);
        if (!(sameFolderAllowed && sameFolder) && !IsSafeFileName(component))
            return false;
        if (end == std::string_view::npos)
            return true;
        path.remove_prefix(end + 1);
    }
}
}  // namespace

bool IsSafeRelativePath(std::string_view path)
{
    return AreComponentsSafe(path, false);
}

bool IsSafeArchiveEntryPath(std::string_view path)
{
    return AreComponentsSafe(path, true);
}
