#include "net/http_url.h"

#include <regex>

#include "base/log.h"

namespace {
constexpr int kDefaultPort = 80;
constexpr long kHighestPort = 65535;
// The library's matcher recurses once per character: on a worker's 2 MiB stack a
// URL of about 9000 characters already overflows it.  Real URLs are far shorter.
constexpr size_t kLongestUrl = 4096;

// Never destroyed: a download worker still starting while the static objects are
// destroyed at the exit may parse its URL after they are gone.
const std::regex& UrlExpression()
{
    // Groups: 1 scheme, 2 host, 3 port digits, 4 path with query; a fragment is dropped.
    static const std::regex* expression = new std::regex(
        R"(^(?:(https?):)?(?://([^:/?#]*)(?::(\d+))?)?([^?#]*(?:\?[^#]*)?)(?:#.*)?)", std::regex::ECMAScript);
    return *expression;
}

// The decimal port, or -1 when it names no TCP port (the digits may be any number of them).
long ReadPort(const std::string& digits)
{
    long port = 0;
    for (char digit : digits) {
        port = port * 10 + (digit - '0');
        if (port > kHighestPort)
            return -1;
    }
    return port;
}
}  // namespace

bool ParseHttpUrl(const std::string& url, CHttpUrl& out)
{
    std::smatch parts;
    if (url.size() > kLongestUrl || !std::regex_match(url, parts, UrlExpression()))
        return false;
    const long port = parts[3].length() > 0 ? ReadPort(parts[3].str()) : kDefaultPort;
    if (port < 0)
        return false;

    out.host = parts[2].str();
    out.port = static_cast<int>(port);
    out.path = parts[4].length() > 0 ? parts[4].str() : "/";
    WriteLog("host: %s, path: %s, port: %d", out.host.c_str(), out.path.c_str(), out.port);
    return true;
}
