#include "ui/redirect_probe.h"

#include <wininet.h>

#include <cctype>
#include <new>
#include <vector>

#include "base/log.h"
#include "net/inet_handle.h"
#include "net/request_url.h"

namespace {

constexpr char kAgent[] = "HTTP Downloader";
// Hops still running, those that outran their chain's limit included: a server that holds
// every hop leaves no more threads than this behind, and the chains after them end at once.
CJobLimit g_runningHops(CRedirectProbe::kMaxRunningHops);

void SetHopTimeouts(HINTERNET handle, DWORD milliseconds)
{
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(handle, option, &milliseconds, sizeof(milliseconds));
}

// A scheme ("http:", "about:") before any "/", "?" or "#": the URL stands on its own.
bool HasScheme(const CString& url)
{
    const char* text = url.GetString();
    if (!std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (const char* p = text + 1; *p; ++p) {
        if (*p == ':')
            return true;
        if (!std::isalnum(static_cast<unsigned char>(*p)) && *p != '+' && *p != '-' && *p != '.')
            return false;
    }
    return false;
}

constexpr DWORD kLocationBufferSize = 1024;

// The GET that InternetOpenUrlA would make, in its three steps, so that the hop's
// time-outs reach the request: under Wine a root handle's send and read time-outs are
// not passed on to the requests that InternetOpenUrlA opens, and a silent server would
// hold the hop for ever.
bool QueryLocation(HINTERNET root, const char* url, DWORD hopTimeoutMs, char (&location)[kLocationBufferSize])
{
    CRequestUrl parts;
    if (!ParseRequestUrl(url, parts) || (parts.scheme != INTERNET_SCHEME_HTTP && parts.scheme != INTERNET_SCHEME_HTTPS))
        return false;
    const DWORD secure = parts.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
    CInternetHandle connection(
        InternetConnectA(root, parts.server, parts.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, secure, 0));
    if (!connection)
        return false;
    SetHopTimeouts(connection.get(), hopTimeoutMs);
    CInternetHandle request(HttpOpenRequestA(connection.get(), "GET", parts.object, nullptr, nullptr, nullptr,
                                             INTERNET_FLAG_NO_AUTO_REDIRECT | secure, 0));
    if (!request || !HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
        return false;
    DWORD size = kLocationBufferSize;
    DWORD index = 0;
    // A value that does not fit is no value: nothing of it is kept.
    return HttpQueryInfoA(request.get(), HTTP_QUERY_LOCATION, location, &size, &index);
}

// One hop, on the thread that runs it, with a root handle of its own: every handle it
// opens is closed when it returns.
CString ReadLocation(const CString& url, DWORD hopTimeoutMs)
{
    char location[kLocationBufferSize] = {};
    CInternetHandle root(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (root && !QueryLocation(root.get(), url, hopTimeoutMs, location))
        location[0] = '\0';
    location[kLocationBufferSize - 1] = '\0';
    return CString(location);
}

// Ends the chain when a limit is reached; loc is the URL it got to.
CString GiveUpAt(const CString& loc)
{
    WriteLog("跳转次数或时间超出限制，停止分析：%s", loc.GetString());
    return CString();
}

}  // namespace

CString CRedirectProbe::GetLocation(const char* url, const CDeadline& deadline)
{
    try {
        const std::optional<CString> location = CallWithinDeadline(
            deadline, g_runningHops, [url = CString(url), timeout = m_hopTimeoutMs] { return ReadLocation(url, timeout); });
        return location ? *location : CString();
    } catch (const std::bad_alloc&) {
        return CString();
    }
}

CString ResolveLocation(const CString& base, const CString& location)
{
    if (location.IsEmpty() || HasScheme(location))
        return location;
    std::vector<char> combined(2048, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(combined.size());
        if (InternetCombineUrlA(base, location, combined.data(), &size, ICU_NO_ENCODE))
            return CString(combined.data());
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        combined.assign(static_cast<size_t>(size) + 1, '\0');
    }
    return CString();
}

CString FollowRedirectChain(CRedirectProbe& probe, const CString& url, const CString& jump,
                            const RedirectChainLimits& limits)
{
    const CDeadline deadline(limits.maxMs);
    int hops = 0;
    auto limitReached = [&] { return hops >= limits.maxHops || deadline.HasPassed(); };

    WriteLog("开始分析跳转");
    CString loc = url;
    while (loc.Find(jump) < 0) {
        if (limitReached())
            return GiveUpAt(loc);
        const CString next = ResolveLocation(loc, probe.GetLocation(loc, deadline));
        ++hops;
        WriteLog("获取跳转链接：%s", next.GetString());
        if (next.IsEmpty()) {
            if (deadline.HasPassed())  // the hop was cut short
                return GiveUpAt(loc);
            // Every later hop would probe the empty URL again.
            WriteLog("跳转链接为空，停止分析");
            return CString();
        }
        loc = next;
    }
    if (limitReached())
        return GiveUpAt(loc);
    const CString target = ResolveLocation(loc, probe.GetLocation(loc, deadline));
    WriteLog("获取游戏跳转链接：%s", target.GetString());
    return target.IsEmpty() && deadline.HasPassed() ? GiveUpAt(loc) : target;
}
