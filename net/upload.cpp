#include "net/upload.h"

#include <windows.h>

#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#include "afx/afxfile.h"
#include "afx/afxwin.h"
#include "net/deadline.h"
#include "net/inet_handle.h"
#include "net/request_url.h"

const char kUploadBoundary[] = "----moby-is-overweight-moby-is-overage----";

namespace {
constexpr DWORD kTransferBufferSize = 1024 * 1024;
// The caller only logs the reply; more than this is not read, so that a server that keeps
// sending cannot hold the UI thread or fill the memory.
constexpr DWORD kMaxReplyBytes = 64 * 1024;
// The log is held while it is sent.  Each write of the body is allowed kWriteTimeoutMs by
// the send time-out, and none starts once the deadline has passed, so an upload its caller
// gave up on lets the log go within one write, however slowly the server reads.  Under
// Wine a write returns once one send has gone out, whatever the size asked for (a 1 MiB
// write to a slow reader returns after a part of it): smaller writes would not let go sooner.
constexpr DWORD kWriteTimeoutMs = 5000;
constexpr DWORD_PTR kContext = 1;
// Uploads still running, those that outran their total limit included: a caller that makes
// more than a run does finds them refused rather than piling up threads.
CJobLimit g_runningUploads(kMaxRunningUploads);

struct FreeDeleter {
    void operator()(char* block) const { std::free(block); }
};
using TransferBuffer = std::unique_ptr<char, FreeDeleter>;

// What goes out as the request's body, and its length announced before the first byte.
struct UploadBody {
    CString head;
    CFile* file = nullptr;
    ULONGLONG fileLength = 0;
    CString tail;
    DWORD total = 0;
};

bool WriteAll(HINTERNET request, const char* data, DWORD size, const CDeadline& deadline)
{
    while (size > 0) {
        DWORD written = 0;
        if (deadline.HasPassed() || !InternetWriteFile(request, data, size, &written) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Streams exactly the announced number of file bytes through the transfer buffer; a read
// error, a file that ends early or a deadline that passes fails the upload.
bool SendFileBytes(HINTERNET request, const UploadBody& body, char* buffer, const CDeadline& deadline)
{
    ULONGLONG left = body.fileLength;
    while (left > 0) {
        const UINT wanted = static_cast<UINT>(left < kTransferBufferSize ? left : kTransferBufferSize);
        const UINT read = body.file->Read(buffer, wanted);
        if (read == 0 || !WriteAll(request, buffer, read, deadline))
            return false;
        left -= read;
    }
    return true;
}

// Appends the reply in the portions WinINet has ready, each up to a zero byte, and
// stops after kMaxReplyBytes.  They are read through the transfer buffer.
bool ReadReply(HINTERNET request, char* buffer, CString& response)
{
    for (DWORD total = 0; total < kMaxReplyBytes;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0))
            return false;
        if (available == 0)
            return true;
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, std::min(available, kMaxReplyBytes - total), &read))
            return false;
        if (read == 0)
            return true;
        total += read;
        buffer[read] = '\0';
        response += buffer;
    }
    return true;
}

int SendUpload(HINTERNET session, const CRequestUrl& url, UploadBody& body, char* buffer, CString& response,
               const CDeadline& deadline)
{
    const bool secure = url.scheme == INTERNET_SCHEME_HTTPS;
    const DWORD secureFlag = secure ? INTERNET_FLAG_SECURE : 0;
    CInternetHandle connection(
        InternetConnectA(session, url.server, url.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, secureFlag, kContext));
    if (!connection)
        return UPLOAD_TRANSFER_FAILED;
    CInternetHandle request(HttpOpenRequestA(connection.get(), "POST", url.object, "HTTP/1.0", nullptr, nullptr,
                                             INTERNET_FLAG_EXISTING_CONNECT | secureFlag, kContext));
    if (!request)
        return UPLOAD_TRANSFER_FAILED;
    DWORD writeTimeout = kWriteTimeoutMs;
    InternetSetOptionA(request.get(), INTERNET_OPTION_SEND_TIMEOUT, &writeTimeout, sizeof(writeTimeout));
    const CString headers = MakeRequestHeaders(kUploadBoundary);
    HttpAddRequestHeadersA(request.get(), headers, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);

    INTERNET_BUFFERSA announced{};
    announced.dwStructSize = sizeof(announced);
    announced.dwBufferTotal = body.total;
    if (!HttpSendRequestExA(request.get(), &announced, nullptr, HSR_SYNC | HSR_INITIATE, kContext))
        return UPLOAD_TRANSFER_FAILED;
    if (!WriteAll(request.get(), body.head, body.head.GetLength(), deadline) ||
        !SendFileBytes(request.get(), body, buffer, deadline))
        return UPLOAD_TRANSFER_FAILED;
    // The log is let go as soon as its bytes are out: a reply that is slow to come must not
    // keep the launcher's own log writer out of it.
    body.file->Close();
    if (!WriteAll(request.get(), body.tail, body.tail.GetLength(), deadline) ||
        !HttpEndRequestA(request.get(), nullptr, HSR_SYNC, kContext))
        return UPLOAD_TRANSFER_FAILED;
    return ReadReply(request.get(), buffer, response) ? UPLOAD_OK : UPLOAD_TRANSFER_FAILED;
}

// WinINet's agent text for uploads: the application's name.
CString AgentName()
{
    CWinApp* app = AfxGetApp();
    return app ? app->m_pszAppName : CString();
}

// The upload past its input checks, on the thread that runs it: opens what it needs and sends.
int OpenAndSend(const CRequestUrl& url, const CString& agent, const CString& localPath, const CString& remoteName,
                CString& response, const CDeadline& deadline)
{
    CInternetHandle session(InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return UPLOAD_TRANSFER_FAILED;

    CFile file;
    if (!file.Open(localPath, CFile::modeRead | CFile::shareDenyWrite))
        return UPLOAD_FILE_UNREADABLE;
    UploadBody body;
    body.head = MakePreFileData(kUploadBoundary, remoteName);
    body.tail = MakePostFileData(kUploadBoundary);
    body.file = &file;
    body.fileLength = file.GetLength();
    // The length is announced in 32 bits; a body that does not fit cannot be sent honestly.
    const ULONGLONG total = body.fileLength + body.head.GetLength() + body.tail.GetLength();
    if (total > MAXDWORD)
        return UPLOAD_TRANSFER_FAILED;
    body.total = static_cast<DWORD>(total);

    TransferBuffer buffer(static_cast<char*>(std::malloc(kTransferBufferSize)));
    if (!buffer)
        return UPLOAD_NO_BUFFER;
    return SendUpload(session.get(), url, body, buffer.get(), response, deadline);
}

// What one upload gives back.
struct UploadReply {
    int result = UPLOAD_TRANSFER_FAILED;
    CString response;
};

UploadReply RunUpload(const CRequestUrl& url, const CString& agent, const CString& localPath,
                      const CString& remoteName, const CDeadline& deadline)
{
    UploadReply reply;
    try {
        reply.result = OpenAndSend(url, agent, localPath, remoteName, reply.response, deadline);
    } catch (const std::bad_alloc&) {
        // No memory for a piece of the request or the reply: the handles are closed on the
        // way out, and the call fails like any other transfer.
        reply.result = UPLOAD_TRANSFER_FAILED;
    }
    return reply;
}

// UploadFile past its input checks: the transfer runs on a thread of its own, waited for
// no longer than totalMs.
int PrepareAndSend(const CString& url, const CString& localPath, const CString& remoteName, CString& response,
                   DWORD totalMs)
{
    const CDeadline deadline(totalMs);
    CRequestUrl parts;
    if (!ParseRequestUrl(url, parts))
        return UPLOAD_BAD_URL;
    response.Empty();
    const std::optional<UploadReply> reply =
        CallWithinDeadline(deadline, g_runningUploads, [parts, agent = AgentName(), localPath, remoteName, deadline] {
            return RunUpload(parts, agent, localPath, remoteName, deadline);
        });
    if (!reply)
        return UPLOAD_TRANSFER_FAILED;
    response = reply->response;
    return reply->result;
}
}  // namespace

CString MakeRequestHeaders(const char* boundary)
{
    CString headers;
    headers.Format("Content-Type: multipart/form-data; boundary=%s\r\n", boundary);
    return headers;
}

CString MakePreFileData(const char* boundary, const char* remoteName)
{
    CString head;
    head.Format("--%s\r\n"
                "Content-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\n"
                "Content-Type: %s\r\n"
                "Content-Transfer-Encoding: binary\r\n\r\n",
                boundary, "logfile", remoteName, "text/plain");
    return head;
}

CString MakePostFileData(const char* boundary)
{
    CString tail;
    tail.Format("\r\n--%s\r\n"
                "Content-Disposition: form-data; name=\"submit\"\r\n\r\n"
                "upload log\r\n"
                "--%s--\r\n",
                boundary, boundary);
    return tail;
}

int UploadFile(const CString& url, const CString& localPath, const CString& remoteName, CString& response,
               DWORD totalMs)
{
    if (url.IsEmpty() || localPath.IsEmpty())
        return UPLOAD_NO_INPUT;
    try {
        return PrepareAndSend(url, localPath, remoteName, response, totalMs);
    } catch (const std::bad_alloc&) {
        // No memory to hand the upload over: it fails like any other transfer.
        return UPLOAD_TRANSFER_FAILED;
    }
}
