#include "net/http_client.h"

#include <cstring>
#include <new>
#include <vector>

#include "afx/afxconv.h"
#include "net/deadline.h"
#include "net/request_url.h"

CHttpClient* g_pHttpClient = nullptr;

namespace {
constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)";
constexpr DWORD_PTR kContext = 1;
constexpr DWORD kChunkSize = 1024;
// The callers only log or drop a reply; more than this is not read, so that a server that
// keeps sending cannot hold the UI thread or fill the memory.
constexpr size_t kMaxReplyBytes = 64 * 1024;
static_assert(kMaxReplyBytes % kChunkSize == 0, "the last chunk read ends at the cap");
// GETs still running, those that outran their total limit included: a server that holds
// every report leaves no more threads than this behind, and the reports after them fail
// at once instead of holding the window.
CJobLimit g_runningGets(CHttpClient::kMaxRunningGets);

// Sent in this order; a header the request already has is not added twice.
const char* const kRequestHeaders[] = {
    "Accept: *,*/*",
    "Accept-Language: zh-cn",
    "Content-Type: application/x-www-form-urlencoded",
    "Accept-Encoding: gzip, deflate",
};

// WinINet reports a time-out as ERROR_INTERNET_TIMEOUT; Wine's passes the socket's
// WSAETIMEDOUT on when a body stalls.
int ResultOfError(DWORD error)
{
    return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT ? HTTP_GET_TIMEOUT : HTTP_GET_FAILED;
}

int ResultOfLastError()
{
    return ResultOfError(GetLastError());
}

DWORD ReceiveTimeoutOf(HINTERNET handle)
{
    DWORD milliseconds = 0;
    DWORD size = sizeof(milliseconds);
    if (!InternetQueryOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &milliseconds, &size))
        return 0;
    return milliseconds;
}

// Wine's WinINet reports a server that sends no reply within the receive time-out
// as an aborted connection, like a reset.  Only the time it took tells them apart.
bool IsReplyTimeOut(DWORD error, DWORD elapsed, DWORD receiveTimeout)
{
    return error == ERROR_INTERNET_CONNECTION_ABORTED && receiveTimeout != 0 &&
           elapsed >= receiveTimeout - receiveTimeout / 10;
}

// True when the request's reply began with a status line: WinINet then knows a code of
// three digits.
bool HasStatusLine(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    return HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
           status >= 100 && status <= 999;
}

// UTF-8 text (up to its first zero byte) in the thread's ANSI code page.
std::string Utf8ToAnsi(const std::string& utf8)
{
    const int wideCount = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (wideCount <= 0)
        return std::string();
    std::vector<wchar_t> wide(static_cast<size_t>(wideCount) + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), wideCount);
    return AfxW2A(wide.data()).str();
}
// One GET on the client's session: its connection and request, opened, used and closed
// by the one thread that runs it.
class CGetExchange {
public:
    CGetExchange(std::shared_ptr<CInternetHandle> session, DWORD receiveTimeout)
        : m_pSession(std::move(session)), m_receiveTimeout(receiveTimeout)
    {
    }

    // Sends the GET and reads the reply's body into response, converted.
    int Send(const CRequestUrl& url, std::string& response);

private:
    int ResultOfNoReply(DWORD error, DWORD sentAt);
    bool ReadBody(std::string& body);

    // Declared in this order so that the request is closed before its connection.
    std::shared_ptr<CInternetHandle> m_pSession;
    CInternetHandle m_pConnection;
    CInternetHandle m_pFile;
    DWORD m_receiveTimeout;
};

// What a request that got no reply counts as: a time-out when the error says so, or
// when Wine's "connection aborted" came after the receive time-out had run.
int CGetExchange::ResultOfNoReply(DWORD error, DWORD sentAt)
{
    if (IsReplyTimeOut(error, GetTickCount() - sentAt, ReceiveTimeoutOf(m_pConnection.get())))
        return HTTP_GET_TIMEOUT;
    return ResultOfError(error);
}

int CGetExchange::Send(const CRequestUrl& url, std::string& response)
{
    const bool secure = url.scheme == INTERNET_SCHEME_HTTPS;
    DWORD connectFlags = INTERNET_FLAG_KEEP_CONNECTION;
    DWORD requestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    if (secure) {
        connectFlags |= INTERNET_FLAG_SECURE;
        // A certificate for another host name is accepted, any other certificate fault is not.
        requestFlags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
    }

    m_pConnection = CInternetHandle(InternetConnectA(m_pSession->get(), url.server, url.port, nullptr, nullptr,
                                                     INTERNET_SERVICE_HTTP, connectFlags, kContext));
    if (!m_pConnection)
        return ResultOfLastError();
    // Set on the connection, which hands it to the request (the session's would not be under Wine).
    if (m_receiveTimeout != 0)
        InternetSetOptionA(m_pConnection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &m_receiveTimeout,
                           sizeof(m_receiveTimeout));
    m_pFile = CInternetHandle(
        HttpOpenRequestA(m_pConnection.get(), "GET", url.object, "HTTP/1.0", nullptr, nullptr, requestFlags, kContext));
    if (!m_pFile)
        return ResultOfLastError();
    for (const char* header : kRequestHeaders)
        HttpAddRequestHeadersA(m_pFile.get(), header, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    const DWORD sentAt = GetTickCount();
    if (!HttpSendRequestA(m_pFile.get(), nullptr, 0, nullptr, 0))
        return ResultOfNoReply(GetLastError(), sentAt);
    // Wine's stack can let the send succeed when the server reset the connection before
    // answering; only a status line proves that a reply came.
    if (!HasStatusLine(m_pFile.get()))
        return ResultOfNoReply(ERROR_INTERNET_CONNECTION_ABORTED, sentAt);

    std::string body;
    if (!ReadBody(body))
        return ResultOfLastError();
    response = Utf8ToAnsi(body);
    return HTTP_GET_OK;
}

// Reads the body in chunks of up to 1024 bytes, and no more than kMaxReplyBytes in all.
// Each chunk is taken as zero-terminated text: bytes behind a zero byte in a chunk are
// dropped, later chunks still count.
bool CGetExchange::ReadBody(std::string& body)
{
    char chunk[kChunkSize + 1] = {};
    for (size_t total = 0; total < kMaxReplyBytes;) {
        DWORD read = 0;
        if (!InternetReadFile(m_pFile.get(), chunk, kChunkSize, &read))
            return false;
        if (read == 0)
            return true;
        total += read;
        chunk[read] = '\0';
        body += chunk;
        std::memset(chunk, 0, sizeof(chunk));
    }
    return true;
}

// What one GET gives back.
struct GetReply {
    int result = HTTP_GET_FAILED;
    std::string body;
};

// One GET from the first to the last byte, on the thread that runs it.
GetReply RunGet(const std::shared_ptr<CInternetHandle>& session, DWORD receiveTimeout, const CRequestUrl& url)
{
    GetReply reply;
    try {
        CGetExchange exchange(session, receiveTimeout);
        reply.result = exchange.Send(url, reply.body);
    } catch (const std::bad_alloc&) {
        // No memory for the reply: a failed request, not the end of the launcher.
        reply.body.clear();
        reply.result = HTTP_GET_FAILED;
    }
    return reply;
}
}  // namespace

CHttpClient::CHttpClient()
    : m_pSession(
          std::make_shared<CInternetHandle>(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)))
{
}

int CHttpClient::HttpGet(const char* url, std::string& response)
{
    response.clear();
    const CDeadline deadline(kTotalTimeoutMs);
    try {
        CRequestUrl parts;
        if (!ParseRequestUrl(url, parts) ||
            (parts.scheme != INTERNET_SCHEME_HTTP && parts.scheme != INTERNET_SCHEME_HTTPS))
            return HTTP_GET_FAILED;
        std::optional<GetReply> reply = CallWithinDeadline(
            deadline, g_runningGets,
            [session = m_pSession, timeout = m_receiveTimeout, parts] { return RunGet(session, timeout, parts); });
        if (!reply)
            return deadline.HasPassed() ? HTTP_GET_TIMEOUT : HTTP_GET_FAILED;
        response = std::move(reply->body);
        return reply->result;
    } catch (const std::bad_alloc&) {
        response.clear();
        return HTTP_GET_FAILED;
    }
}
