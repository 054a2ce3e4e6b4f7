#include "net/request_url.h"

#include <cstring>
#include <string>
#include <vector>

namespace {
bool IsHexDigit(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
}

bool BeginsEscape(const char* text)
{
    return text[0] == '%' && IsHexDigit(text[1]) && IsHexDigit(text[2]);
}

bool CannotStandInRequestLine(unsigned char byte)
{
    return byte <= 0x20 || byte >= 0x7F;
}

// Characters that a URL's query may not hold as they are, and "#", which would end it.
bool MustBeEscapedInQuery(char ch)
{
    return ch != '\0' && std::strchr("\"<>\\^`{|}#", ch) != nullptr;
}

void AppendEscaped(std::string& out, unsigned char byte)
{
    static const char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

// The browser-mode canonical form of an ASCII URL; the URL itself when it has none.
std::string Canonicalize(const std::string& url)
{
    DWORD size = static_cast<DWORD>(url.size()) * 3 + 16;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<char> buffer(size + 1, '\0');
        DWORD length = size;
        if (InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &length, ICU_BROWSER_MODE))
            return std::string(buffer.data(), length);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        size = length + 1;
    }
    return url;
}

CString Component(const char* text, DWORD length)
{
    return text ? CString(text, static_cast<int>(length)) : CString();
}
}  // namespace

CString EscapeUrlForRequestLine(const char* url)
{
    std::string out;
    bool inQuery = false;
    for (const char* p = url; *p; p += AfxCharLength(p)) {
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (AfxCharLength(p) == 2) {
            // Both bytes: a trail byte can look like "\" or "|", which WinINet would rewrite.
            AppendEscaped(out, byte);
            AppendEscaped(out, static_cast<unsigned char>(p[1]));
        } else if (CannotStandInRequestLine(byte) || (byte == '%' && !BeginsEscape(p)) ||
                   (inQuery && MustBeEscapedInQuery(*p))) {
            AppendEscaped(out, byte);
        } else {
            out += *p;
        }
        if (*p == '?')
            inQuery = true;
    }
    return CString(out);
}

bool ParseRequestUrl(const char* url, CRequestUrl& parts)
{
    // Escaping first leaves only ASCII for WinINet, whose ANSI canonicalisation is
    // not safe with double-byte text.
    const std::string canonical = Canonicalize(EscapeUrlForRequestLine(url).str());

    // Zero-length buffers with a non-zero size make WinINet point into the URL itself.
    URL_COMPONENTSA components{};
    components.dwStructSize = sizeof(components);
    components.dwHostNameLength = 1;
    components.dwUrlPathLength = 1;
    components.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(canonical.c_str(), static_cast<DWORD>(canonical.size()), 0, &components))
        return false;
    parts.server = Component(components.lpszHostName, components.dwHostNameLength);
    if (parts.server.IsEmpty())
        return false;
    parts.scheme = components.nScheme;
    parts.port = components.nPort;
    parts.object = Component(components.lpszUrlPath, components.dwUrlPathLength);
    if (parts.object.IsEmpty())
        parts.object = "/";
    parts.object += Component(components.lpszExtraInfo, components.dwExtraInfoLength);
    return true;
}
