// The worker of one download: attempts, resumption, retries, and the three
// callbacks through which cpp-httplib hands over the response.
#include <httplib.h>

#include <cstdio>
#include <exception>

#include "afx/afxfile.h"
#include "base/folders.h"
#include "base/log.h"
#include "net/download_worker.h"
#include "net/downloader.h"
#include "net/http_url.h"

namespace {
// The agent the download servers have always seen from the launcher.
constexpr char kUserAgent[] = "cpp-httplib/0.6";
// How often a pause before a retry looks at the running flag.
constexpr DWORD kPauseSliceMs = 20;
constexpr int kReceiveBufferBytes = 4 << 20;

bool IsRunning(const CDownloadTask& task)
{
    return task.running == 1;
}

bool IsSuccessStatus(int status)
{
    return status == 200 || status == 204 || status == 206;
}

void Publish(volatile LONG& counter, ULONG value)
{
    InterlockedExchange(&counter, static_cast<LONG>(value));
}

// The first byte position of a "bytes first-last/length" Content-Range, or -1.
long long ContentRangeStart(const std::string& contentRange)
{
    const std::string unit = "bytes ";
    if (contentRange.compare(0, unit.size(), unit) != 0)
        return -1;
    long long first = -1;
    for (size_t pos = unit.size(); pos < contentRange.size() && first < (1LL << 40); ++pos) {
        const char ch = contentRange[pos];
        if (ch == '-')
            return first;
        if (ch < '0' || ch > '9')
            return -1;
        first = (first < 0 ? 0 : first * 10) + (ch - '0');
    }
    return -1;
}

// Only the part asked for continues the target; any other part would land out of place.
// A request without a Range may still be answered 206, which is the whole target
// unless its Content-Range names another first byte.
bool PartContinuesTarget(const httplib::Response& response, int resumeOffset)
{
    const long long start = ContentRangeStart(response.get_header_value("Content-Range"));
    return resumeOffset > 0 ? start == resumeOffset : start <= 0;
}

// Records a local-file failure: its Windows error code and the logged message.
void RecordFileError(CDownloadSession& session, DWORD error, const CString& message)
{
    session.progress.lastError = error;
    session.progress.errorText = message.str();
}

// A target that cannot take the bytes (a full disk): no later attempt would do better.
void RecordWriteFailure(CDownloadSession& session, DWORD error)
{
    RecordFileError(session, error,
                    WriteLog("Write local file failed: %s, error code: %d", session.progress.localPath.c_str(),
                             static_cast<int>(error)));
    session.stopRetrying = true;
}

// Forgets every byte stored so far: the next body is written from byte 0.
bool EmptyTarget(CDownloadSession& session)
{
    session.stored = 0;
    session.resumeOffset = 0;
    session.progress.buffer.Clear();
    Publish(session.progress.downloaded, 0);
    if (!session.file.IsOpen() || session.file.SetLength(0))
        return true;
    RecordWriteFailure(session, GetLastError());
    return false;
}

// Empties a target that an earlier download left, as opening it anew would have.
bool EmptyStaleTarget(CDownloadSession& session)
{
    if (session.file.SetLength(0))
        return true;
    const DWORD error = GetLastError();
    session.file.Close();
    RecordFileError(session, error,
                    WriteLog("Create local file failed: %s, error code: %d", session.progress.localPath.c_str(),
                             static_cast<int>(error)));
    return false;
}

// Creates the target's folder when missing and opens the target emptied, shared with no one.
bool OpenTarget(CDownloadSession& session)
{
    const std::string& path = session.progress.localPath;
    const std::string folder = ParentFolder(path);
    DWORD error = 0;
    if (!folder.empty() && !IsExistingFolder(folder) && !CreateFolderTree(folder, error)) {
        RecordFileError(
            session, error,
            WriteLog("Create local dir failed: %s, error code: %d", folder.c_str(), static_cast<int>(error)));
        return false;
    }
    // Opened as it is and emptied only when it holds bytes: Wine empties a file opened to be
    // created anew even when it has just made it, and Linux file systems write out a file
    // emptied that way when it is closed, which held up the end of a package's download.
    if (!session.file.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite |
                                             CFile::shareExclusive | CFile::typeBinary)) {
        error = session.file.m_lastError;
        RecordFileError(
            session, error,
            WriteLog("Create local file failed: %s, error code: %d", path.c_str(), static_cast<int>(error)));
        return false;
    }
    return session.file.GetLength() == 0 || EmptyStaleTarget(session);
}

bool StoreChunk(CDownloadSession& session, const char* data, size_t length)
{
    CDownloadProgress& progress = session.progress;
    if (session.file.IsOpen()) {
        if (!session.file.Write(data, static_cast<UINT>(length))) {
            RecordWriteFailure(session, GetLastError());
            return false;
        }
    } else if (!progress.buffer.Append(data, static_cast<int>(length))) {
        const CString message = WriteLog("Download buffer full: %d bytes held, %d more refused", progress.buffer.size,
                                         static_cast<int>(length));
        progress.errorText = message.str();
        session.stopRetrying = true;  // memory does not come back by asking again
        return false;
    }
    session.stored += static_cast<DWORD>(length);
    return true;
}
}  // namespace

CDownloadSession::CDownloadSession(CDownloadTask& downloadTask)
    : task(downloadTask), progress(*downloadTask.progress), retriesLeft(CDownloadManager::settings.maxRetries)
{
}

bool WriteDownloadChunk(CDownloadSession& session, const char* data, size_t length)
{
    if (!session.progress.localPath.empty() && !session.file.IsOpen() && !OpenTarget(session))
        return false;
    if (!StoreChunk(session, data, length))
        return false;
    return IsRunning(session.task);
}

bool OnDownloadResponse(CDownloadSession& session, const httplib::Response& response)
{
    session.lastStatus = response.status;
    if (response.status >= 400)
        return false;
    if (!IsSuccessStatus(response.status)) {
        // The download fails on this status: its body is not the target and stays out of it.
        session.refusedStatus = response.status;
        return false;
    }
    if (response.status == 206) {
        if (PartContinuesTarget(response, session.resumeOffset))
            return true;
        session.restartFromZero = true;
        return false;
    }
    // The server sent the whole target again: it replaces what is stored.
    return session.stored == 0 || EmptyTarget(session);
}

bool OnDownloadContent(CDownloadSession& session, const char* data, size_t length)
{
    return WriteDownloadChunk(session, data, length);
}

bool OnDownloadProgress(CDownloadSession& session, uint64_t current, uint64_t length)
{
    // Counts are kept to their low 32 bits, as the record holds them.
    const ULONG offset = static_cast<ULONG>(session.resumeOffset);
    Publish(session.progress.downloaded, offset + static_cast<ULONG>(current));
    Publish(session.progress.total, offset + static_cast<ULONG>(length));
    return IsRunning(session.task);
}

namespace {
// Continues from the stored bytes when the record's count vouches for them; a body
// of unknown length, or one that the server answered at a wrong offset, starts again.
bool PrepareAttempt(CDownloadSession& session)
{
    session.lastStatus = 0;
    session.refusedStatus = 0;
    if (session.restartFromZero || static_cast<DWORD>(session.progress.downloaded) != session.stored) {
        session.restartFromZero = false;
        return EmptyTarget(session);
    }
    session.resumeOffset = static_cast<int>(session.stored);
    return true;
}

// A receive buffer that holds two of the library's 2 MiB reads: with the system's
// default, a download now and then settled at reads of under 100 KiB and took twice as
// long, since every read costs the same fixed time under Wine.
void EnlargeReceiveBuffer(socket_t sock)
{
    const int bytes = kReceiveBufferBytes;
    setsockopt(sock, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof(bytes));
}

httplib::Result RunAttempt(CDownloadSession& session)
{
    httplib::Client client(session.url.host, session.url.port);
    client.set_follow_location(true);
    // Every socket of the attempt, those of redirects included, can be broken off by a stop.
    client.set_socket_options([&session](socket_t sock) {
        EnlargeReceiveBuffer(sock);
        session.task.sockets.Add(sock);
    });
    httplib::Headers headers{{"User-Agent", kUserAgent}};
    if (session.resumeOffset > 0) {
        char range[128] = {};
        std::snprintf(range, sizeof(range), "bytes=%d-", session.resumeOffset);
        headers.emplace("Range", range);
    }
    return client.Get(
        session.url.path, headers,
        [&session](const httplib::Response& response) { return OnDownloadResponse(session, response); },
        [&session](const char* data, size_t length) { return OnDownloadContent(session, data, length); },
        [&session](uint64_t current, uint64_t length) { return OnDownloadProgress(session, current, length); });
}

// The status of the final response, 0 when none came.  A library failure that
// throws (a redirect to an impossible port, no memory) counts as no response.
int FetchOnce(CDownloadSession& session)
{
    int status = 0;
    try {
        httplib::Result result = RunAttempt(session);
        status = result ? result->status : session.refusedStatus;
    } catch (const std::exception& failure) {
        WriteLog("http request aborted: %s, url: %s", failure.what(), session.task.url.c_str());
    } catch (...) {
        WriteLog("http request aborted, url: %s", session.task.url.c_str());
    }
    // The library has closed the attempt's sockets by now.
    session.task.sockets.ReleaseAll();
    return status;
}

bool ShouldRetry(CDownloadSession& session)
{
    const CDownloadProgress& progress = session.progress;
    return IsRunning(session.task) && session.lastStatus < 400 && !progress.localPath.empty() &&
           progress.downloaded < progress.total && progress.lastError != ERROR_SHARING_VIOLATION &&
           !session.stopRetrying && session.retriesLeft-- > 0;
}

void SleepSlice(DWORD milliseconds)
{
    Sleep(milliseconds);
}

// False when the download was stopped during the pause.
bool PauseBeforeRetry(const CDownloadTask& task)
{
    const CDownloadSettings& settings = CDownloadManager::settings;
    const CDownloadSettings::SleepFunction sleep = settings.pauseSlice ? settings.pauseSlice : SleepSlice;
    for (DWORD paused = 0; paused < settings.retryPauseMs && IsRunning(task); paused += kPauseSliceMs)
        sleep(settings.retryPauseMs - paused < kPauseSliceMs ? settings.retryPauseMs - paused : kPauseSliceMs);
    return IsRunning(task);
}

// The status of the final response, 0 when the attempts ended without one.
int Download(CDownloadSession& session)
{
    for (;;) {
        if (!PrepareAttempt(session))
            return 0;
        const int status = FetchOnce(session);
        if (status != 0 || !ShouldRetry(session) || !PauseBeforeRetry(session.task))
            return status;
    }
}

// Success leaves the target holding exactly the final body, even an empty one
// (204 brings none), and no error text of an earlier attempt that a later one mended.
void SettleSuccess(CDownloadSession& session, int status)
{
    session.progress.errorText.clear();
    session.progress.lastError = 0;
    if (status == 204 && session.stored > 0)
        EmptyTarget(session);
    if (!session.progress.localPath.empty() && !session.file.IsOpen())
        OpenTarget(session);
}

void SettleOutcome(CDownloadSession& session, int status)
{
    CDownloadProgress& progress = session.progress;
    const char* url = session.task.url.c_str();
    if (status == 0) {
        // A text that a failed attempt left (a local file that cannot be made) is the better reason.
        if (progress.errorText.empty())
            progress.errorText = WriteLog("http response failed, isrun:%d, res:NULL, status: %d, url: %s",
                                          static_cast<int>(session.task.running), session.lastStatus, url)
                                     .str();
    } else if (IsSuccessStatus(status)) {
        SettleSuccess(session, status);
    } else {
        progress.errorText = WriteLog("http response status: %d, url: %s", status, url).str();
    }
}

// The worker's last acts: done on the record, then finished on the task.
void Finish(CDownloadTask& task)
{
    InterlockedExchange(&task.progress->done, 1);
    InterlockedExchange(&task.finished, 1);
}

// One download from the first request to the closed target.  May throw (no memory):
// the session, and with it the open file, is gone before the caller sees the exception.
void RunDownload(CDownloadTask& task)
{
    WriteLog("start Request, agent:%s, url: %s !", task.label.c_str(), task.url.c_str());
    CDownloadSession session(task);
    if (!ParseHttpUrl(task.url, session.url)) {
        session.progress.errorText = WriteLog("parse httpurl failed, url=%s", task.url.c_str()).str();
        return;
    }
    const int status = Download(session);
    SettleOutcome(session, status);
    WriteLog("Request complete!");
    session.file.Close();  // before done: the waiting step may rename or read the file at once
}

// A download that ended by an exception has failed.  Without memory even for the
// message, a text short enough to be stored without allocating says so.
void RecordAbort(CDownloadTask& task, const char* reason) noexcept
{
    try {
        task.progress->errorText = WriteLog("download aborted: %s, url: %s", reason, task.url.c_str()).str();
    } catch (...) {
        task.progress->errorText = "out of memory";
    }
}
}  // namespace

DWORD WINAPI DownloadThreadProc(void* argument)
{
    CDownloadTask& task = *static_cast<CDownloadTask*>(argument);
    // Nothing may leave the thread: an escaping exception would end the process.
    try {
        RunDownload(task);
    } catch (const std::exception& failure) {
        RecordAbort(task, failure.what());
    } catch (...) {
        RecordAbort(task, "unknown exception");
    }
    Finish(task);
    return 0;
}
