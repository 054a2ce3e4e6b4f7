// The background downloader against a scripted HTTP server on 127.0.0.1: resumption,
// statuses, retries, local-file failures, redirects, stopping, and its helpers.
#include <gtest/gtest.h>

// The HTTP library brings Winsock 2, which must come before windows.h.
#include "tests/support/test_server.h"

#include <windows.h>

#include <future>

#include "afx/afxfile.h"
#include "app/folders.h"
#include "app/log.h"
#include "app/vorlan_app.h"
#include "net/byte_buffer.h"
#include "net/downloader.h"
#include "net/http_url.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/import_hook.h"
#include "tests/support/raw_listener.h"
#include "tests/support/test_support.h"

namespace {
constexpr DWORD kWaitMs = 60000;
constexpr size_t kBodySize = 300000;
constexpr size_t kBreakAt = 100000;
const std::string kNoFile = "(no file)";

std::string Body()
{
    std::string body(kBodySize, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return body;
}

std::string Contents(const std::string& path)
{
    return vt::FileExists(path) ? vt::ReadFileBytes(path) : kNoFile;
}

// Read from the folder entry, so that a file its writer holds unshared can be watched.
LONGLONG FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Failed(int running, int status, const std::string& url)
{
    return "http response failed, isrun:" + std::to_string(running) + ", res:NULL, status: " + std::to_string(status) +
           ", url: " + url;
}

// Polls every 10 ms until ready() holds; false after kWaitMs.
bool WaitUntil(const std::function<bool()>& ready)
{
    for (DWORD waited = 0; waited < kWaitMs && !ready(); waited += 10)
        Sleep(10);
    return ready();
}

// Runs job on a thread of its own; false when it has not returned in time (the
// job is then left running, so that a blocked call cannot hang the test run).
bool RunWithin(const std::function<void()>& job)
{
    auto ended = std::make_shared<std::promise<void>>();
    std::future<void> done = ended->get_future();
    std::thread([job, ended] {
        job();
        ended->set_value();
    }).detach();
    return done.wait_for(std::chrono::milliseconds(kWaitMs)) == std::future_status::ready;
}

// A body of the announced length that breaks off after `upTo` bytes.
void ServeBreaking(httplib::Response& response, const std::string& body, size_t upTo)
{
    response.set_content_provider(body.size(), "application/octet-stream",
                                  [&body, upTo](size_t offset, size_t, httplib::DataSink& sink) {
                                      if (offset < upTo)
                                          sink.write(body.data() + offset, upTo - offset);
                                      return false;
                                  });
}

class DownloaderTest : public ::testing::Test {
protected:
    DownloaderTest()
    {
        CDownloadManager::settings.maxRetries = 3;
        CDownloadManager::settings.retryPauseMs = 50;
    }
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    // The destructor stops what still runs; a manager that would not stop is left alone.
    void TearDown() override
    {
        EXPECT_TRUE(RunWithin([doomed = manager] { delete doomed; }));
        CDownloadManager::settings = saved;
    }

    // Starts a download the way the pipeline does: reset the record, then start.  The
    // log then holds this download's lines only.
    HANDLE Start(const std::string& url, const std::string& target)
    {
        LogInit(logPath.c_str());
        progress.Reset(target);
        return manager->StartDownloadThread("测试下载", url.c_str(), &progress);
    }
    bool Fetch(const std::string& url, const std::string& target)
    {
        Start(url, target);
        return WaitUntil([this] { return progress.done == 1; });
    }
    // Notes the Range header of a request the server saw ("" when none); gives how many it saw.
    size_t Seen(const httplib::Request& request)
    {
        const std::lock_guard<std::mutex> lock(seenMutex);
        ranges.push_back(request.get_header_value("Range"));
        return ranges.size();
    }
    // The Range headers seen since the last call.
    std::vector<std::string> TakeSeen()
    {
        const std::lock_guard<std::mutex> lock(seenMutex);
        return std::exchange(ranges, {});
    }
    // The whole log of a download of one of the server's paths that ended with error ("" on success).
    std::vector<std::string> LogOf(const std::string& path, const std::string& error)
    {
        std::vector<std::string> lines{"start Request, agent:测试下载, url: " + server.Url(path) + " !",
                                       "host: 127.0.0.1, path: " + path + ", port: " + std::to_string(server.port())};
        if (!error.empty())
            lines.push_back(error);
        lines.push_back("Request complete!");
        return lines;
    }

    const CDownloadSettings saved = CDownloadManager::settings;
    vt::TempDir dir{"dl"};
    const std::string logPath = dir / "log.log";
    vt::TestServer server;
    std::mutex seenMutex;
    std::vector<std::string> ranges;
    CDownloadProgress progress;
    CDownloadManager* manager = new CDownloadManager;
    const std::string body = Body();
};
}  // namespace

TEST(ParseHttpUrlTest, SplitsUrlsIntoHostPortAndPath)
{
    const std::string longest = "http://h/" + std::string(4096 - 9, 'a');  // longer ones would overflow the matcher
    const struct {
        std::string url, host;
        int port;  // 0: the URL is refused
        std::string path;
    } cases[] = {
        {"http://dl.example.com/pkg/game.zip?ver=42", "dl.example.com", 80, "/pkg/game.zip?ver=42"},
        {"http://10.0.0.5:8080", "10.0.0.5", 8080, "/"},
        {"http://h:81/a/b#part", "h", 81, "/a/b"},
        {"https://secure.example.com/x", "secure.example.com", 80, "/x"},
        {"example.com/file", "", 80, "example.com/file"},
        {"http://h:65535/", "h", 65535, "/"},
        {"http://h:65536/", "", 0, ""},
        {"http://h:99999999999999999999/", "", 0, ""},
        {"http://h/a#frag\nment", "", 0, ""},
        {longest, "h", 80, longest.substr(8)},
        {longest + "a", "", 0, ""},
    };
    for (const auto& c : cases) {
        CHttpUrl url;
        ASSERT_EQ(c.port != 0, ParseHttpUrl(c.url, url)) << c.url;
        EXPECT_TRUE(c.port == 0 || (c.host == url.host && c.port == url.port && c.path == url.path)) << c.url;
    }
}

TEST(ByteBufferTest, GrowsByDoublingAndKeepsEveryByte)
{
    const std::string bytes = Body();
    CByteBuffer buffer;
    ASSERT_TRUE(buffer.Append(bytes.data(), 4095));
    EXPECT_EQ(4096, buffer.capacity);  // one byte stays spare
    buffer.Clear();
    ASSERT_TRUE(buffer.Append(bytes.data(), 4096));
    EXPECT_EQ(8192, buffer.capacity);
    buffer.Clear();
    ASSERT_TRUE(buffer.Append(bytes.data(), 5000) && buffer.Append(bytes.data() + 5000, 4000));
    EXPECT_EQ(16384, buffer.capacity);
    EXPECT_EQ(bytes.substr(0, 9000), std::string(buffer.data, buffer.size));
    // A size past what the counters hold is refused before any byte is read.
    EXPECT_FALSE(buffer.Append(bytes.data(), 0x7FFFFFFF));
    EXPECT_EQ(9000, buffer.size);
}

TEST(FoldersTest, ParentFolderStepsOverDoubleByteCharacters)
{
    const std::string name = "游戏嘰包";  // its third character's trail byte is '\'
    ASSERT_NE(std::string::npos, name.find('\\'));
    EXPECT_EQ("C:\\a\\" + name, ParentFolder("C:\\a\\" + name + "\\f.zip"));
    EXPECT_EQ("C:/a", ParentFolder("C:/a/" + name));
    EXPECT_EQ("", ParentFolder(name));
}

TEST_F(DownloaderTest, ResumesOrStartsOverSoTheTargetHoldsEachByteOnceInPlace)
{
    std::string scenario;  // how the server answers the n-th request of a download
    server.server().Get("/pkg", [&](const httplib::Request& request, httplib::Response& response) {
        const size_t n = Seen(request);
        if (scenario == "redirected" && n == 1) {  // a redirect's own body belongs nowhere
            response.set_redirect("/pkg");
            return response.set_content(std::string(70000, 'R'), "text/html");
        }
        if (scenario != "resumed")  // the library answers a Range by itself unless it is forgotten
            const_cast<httplib::Request&>(request).ranges.clear();
        const bool misplaced = scenario == "misplaced first part";
        if (misplaced || (scenario == "answered from 0" && n == 2)) {
            const size_t first = misplaced ? 5 : 0;
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                     std::to_string(kBodySize - 1) + "/" + std::to_string(kBodySize));
            return response.set_content(body.substr(first), "application/octet-stream");
        }
        if (scenario == "no length" && n == 1) {
            return response.set_chunked_content_provider("application/octet-stream",
                                                         [&](size_t, httplib::DataSink& sink) {
                                                             sink.write(body.data(), kBreakAt);
                                                             return false;
                                                         });
        }
        if (n == 1 || scenario == "always breaks")
            return ServeBreaking(response, body, kBreakAt);
        if (scenario == "emptied")
            response.status = 204;
        else
            response.set_content(body, "application/octet-stream");
    });
    const std::string url = server.Url("/pkg"), resume = "bytes=" + std::to_string(kBreakAt) + "-";
    const struct {
        const char* name;
        std::vector<std::string> ranges;
        std::string content, error;
    } scenarios[] = {
        {"resumed", {"", resume}, body, ""},
        {"redirected", {"", ""}, body, ""},  // into memory
        {"range ignored", {"", resume}, body, ""},
        {"answered from 0", {"", resume, ""}, body, ""},
        {"no length", {"", ""}, body, ""},
        {"emptied", {"", resume}, "", ""},
        {"always breaks", {"", resume, resume, resume}, body.substr(0, kBreakAt), Failed(1, 200, url)},
        {"misplaced first part", {"", "", "", ""}, kNoFile, Failed(1, 206, url)},
    };
    for (const auto& s : scenarios) {
        scenario = s.name;
        const std::string target = scenario == "redirected" ? "" : dir / s.name;
        ASSERT_TRUE(Fetch(url, target)) << s.name;
        EXPECT_EQ(s.error, progress.errorText) << s.name;
        const std::string stored =
            target.empty() ? std::string(progress.buffer.data, progress.buffer.size) : Contents(target);
        EXPECT_TRUE(stored == s.content) << s.name;
        EXPECT_EQ(s.ranges, TakeSeen()) << s.name;
        EXPECT_EQ(LogOf("/pkg", s.error), vt::LogMessages(logPath)) << s.name;  // nothing is logged for a retry
        EXPECT_TRUE(s.content != body || (progress.downloaded == LONG{kBodySize} && progress.total == LONG{kBodySize}));
    }
}

TEST_F(DownloaderTest, StatusesDecideTheOutcomeAndOnlyASuccessfulBodyIsStored)
{
    server.server().Get(R"(/status/(\d+))", [&](const httplib::Request& request, httplib::Response& response) {
        Seen(request);
        response.status =
            request.get_header_value("User-Agent") == "cpp-httplib/0.6" ? std::stoi(request.matches[1]) : 418;
        if (response.status != 204)
            response.set_content("status body", "text/plain");  // a 206 without Content-Range: the whole body
    });
    const struct {
        int status;
        const char* before;  // the target's content before the download, or none
        const char* error;   // the error text without its ", url: %s", or none
        std::string after;
    } cases[] = {
        {404, nullptr, "http response failed, isrun:1, res:NULL, status: 404", kNoFile},
        {204, "stale bytes", nullptr, ""},
        {202, "previous", "http response status: 202", "previous"},
        {206, nullptr, nullptr, "status body"},
    };
    for (const auto& c : cases) {
        const std::string path = "/status/" + std::to_string(c.status), folder = dir / std::to_string(c.status);
        ASSERT_TRUE(!c.before ||
                    (CreateDirectoryA(folder.c_str(), nullptr) && vt::WriteFileBytes(folder + "\\t.ini", c.before)));
        ASSERT_TRUE(Fetch(server.Url(path), folder + "\\t.ini"));
        const std::string error = c.error ? c.error + (", url: " + server.Url(path)) : "";
        EXPECT_EQ(error, progress.errorText);
        EXPECT_EQ(c.after, Contents(folder + "\\t.ini")) << c.status;
        EXPECT_EQ(c.after != kNoFile, vt::FileExists(folder)) << c.status;  // no folder made for nothing
        EXPECT_EQ(1u, TakeSeen().size()) << c.status;
        EXPECT_EQ(LogOf(path, error), vt::LogMessages(logPath)) << c.status;
    }
}

TEST_F(DownloaderTest, UrlsThatReachNoServerFail)
{
    server.server().Get("/pkg", [&](const httplib::Request& request, httplib::Response&) { Seen(request); });
    server.server().Get("/nowhere", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("http://127.0.0.1:99999999999/x");  // the library throws on it
    });
    // Without "//" there is no host, so no connection: the whole rest is the path, and no host is guessed from it.
    const std::string noSlashes = "http:127.0.0.1:" + std::to_string(server.port()) + "/pkg";
    const std::string nowhere = server.Url("/nowhere"), badPort = "http://127.0.0.1:65536/pkg";
    for (const std::string& url : {noSlashes, nowhere, badPort}) {
        ASSERT_TRUE(Fetch(url, dir / "pkg"));
        const bool parsed = url != badPort;
        EXPECT_EQ(parsed ? Failed(1, 0, url) : "parse httpurl failed, url=" + url, progress.errorText);
        EXPECT_EQ(parsed, vt::Contains(vt::LogMessages(logPath), "Request complete!")) << url;
        EXPECT_FALSE(vt::FileExists(dir / "pkg"));
    }
    EXPECT_TRUE(TakeSeen().empty());
}

// The writing end of a pipe that nobody reads and that never blocks: WriteFile
// succeeds there without taking the bytes, as it does on a full disk.
struct StuckPipe : CFile {
    bool Connect(const std::string& name)
    {
        DWORD noWait = PIPE_NOWAIT;
        return Open(name.c_str(), modeWrite) && SetNamedPipeHandleState(m_hFile, &noWait, nullptr, nullptr);
    }
};

TEST_F(DownloaderTest, LocalFileFailures)
{
    std::atomic<int> requestsUntilMended{0};
    server.server().Get("/f", [&](const httplib::Request& request, httplib::Response& response) {
        Seen(request);
        if (requestsUntilMended > 0 && --requestsUntilMended == 0)
            DeleteFileA((dir / "blocker").c_str());
        response.set_content(body, "application/octet-stream");
    });
    const std::string url = server.Url("/f");

    // Held open by another handle without sharing: one request, error 32.
    const std::string held = dir / "held.bin";
    HANDLE other = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    ASSERT_TRUE(Fetch(url, held));
    CloseHandle(other);
    EXPECT_EQ("Create local file failed: " + held + ", error code: 32", progress.errorText);
    EXPECT_EQ(1u, TakeSeen().size());

    // Every missing level of the folder is made, none cut at a trail byte that looks like '\'.
    const std::string deep = dir / "游戏嘰包\\b\\c\\pkg.zip";
    ASSERT_TRUE(Fetch(url, deep));
    EXPECT_TRUE(progress.errorText.empty() && vt::ReadFileBytes(deep) == body);
    EXPECT_FALSE(vt::FileExists(dir / "游戏"));

    // A folder that cannot be made: retried, and the first failure's text is the result...
    vt::WriteFileBytes(dir / "blocker", "a file where a folder should be");
    const std::string blocked = dir / "blocker\\sub\\pkg.zip";
    ASSERT_TRUE(Fetch(url, blocked));
    EXPECT_NE(0u, progress.lastError);
    EXPECT_EQ("Create local dir failed: " + dir / "blocker\\sub" +
                  ", error code: " + std::to_string(progress.lastError),
              progress.errorText);
    // ...unless a retry succeeds: then the download succeeded and says so.
    requestsUntilMended = 2;
    TakeSeen();
    ASSERT_TRUE(Fetch(url, blocked));
    EXPECT_EQ(2u, TakeSeen().size());
    EXPECT_TRUE(progress.errorText.empty() && progress.lastError == 0 && vt::ReadFileBytes(blocked) == body);

    // A full disk names its error code, whether the write failed (Wine shows the host's
    // /dev/full) or was cut short, which WriteFile reports as a success.
    const std::string pipeName = "\\\\.\\pipe\\vt_stuck_" + std::to_string(GetCurrentProcessId());
    HANDLE reader = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    StuckPipe pipe;
    ASSERT_TRUE(pipe.Connect(pipeName));
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(pipe.Write(body.data(), kBreakAt));
    EXPECT_EQ(DWORD{ERROR_DISK_FULL}, GetLastError());
    CloseHandle(reader);
    const std::string full = "Z:\\dev\\full";
    ASSERT_TRUE(Fetch(url, full));
    EXPECT_EQ("Write local file failed: " + full + ", error code: " + std::to_string(ERROR_DISK_FULL),
              progress.errorText);
    EXPECT_EQ(1u, TakeSeen().size());
}

TEST_F(DownloaderTest, AStopDuringTheRetryPauseEndsItAtOnce)
{
    static HANDLE pausing = nullptr;  // set once the worker sleeps in the pause before its first retry
    pausing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CDownloadManager::settings.retryPauseMs = 600000;
    CDownloadManager::settings.pauseSlice = [](DWORD milliseconds) {
        SetEvent(pausing);
        Sleep(milliseconds);
    };
    server.server().Get("/breaks", [&](const httplib::Request& request, httplib::Response& response) {
        Seen(request);
        ServeBreaking(response, body, kBreakAt);
    });
    const std::string url = server.Url("/breaks");
    Start(url, dir / "paused.bin");
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pausing, kWaitMs));
    EXPECT_TRUE(RunWithin([doomed = manager] { delete doomed; }));  // the destructor stops the download
    manager = new CDownloadManager;
    EXPECT_TRUE(progress.done == 1 && TakeSeen().size() == 1);
    EXPECT_EQ(Failed(0, 200, url), progress.errorText);
    CloseHandle(pausing);
}

TEST_F(DownloaderTest, AWorkerThatCannotStartOrThrowsEndsTheDownloadAsFailed)
{
    CDownloadManager::settings.startThread = [](LPTHREAD_START_ROUTINE, void*) -> HANDLE {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    EXPECT_EQ(nullptr, Start("http://127.0.0.1:1/x", dir / "never.bin"));
    ASSERT_TRUE(progress.done == 1 && manager->tasks.size() == 1 && manager->tasks[0]->finished == 1);
    EXPECT_EQ("create download thread failed, error code: 8", progress.errorText);

    // A worker whose memory runs out once the target is open.
    CDownloadManager::settings.startThread = nullptr;
    HANDLE starved = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    server.server().Get("/f", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(body.size(), "application/octet-stream",
                                      [&](size_t offset, size_t, httplib::DataSink& sink) {
                                          if (offset > 0)
                                              WaitForSingleObject(starved, kWaitMs);
                                          return sink.write(body.data() + offset, offset ? body.size() - offset : 1);
                                      });
    });
    const std::string target = dir / "pkg";
    HANDLE worker = Start(server.Url("/f"), target);
    ASSERT_TRUE(WaitUntil([&] { return FileSize(target) == 1; }));
    vt::g_starvedThread = GetThreadId(worker);
    SetEvent(starved);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, kWaitMs));
    vt::g_starvedThread = 0;
    EXPECT_TRUE(progress.done == 1 && manager->tasks.back()->finished == 1);
    EXPECT_EQ("out of memory", progress.errorText);
    EXPECT_TRUE(DeleteFileA(target.c_str()));  // not left open
    CloseHandle(starved);

    // The manager closes a worker's handle with its task.
    manager->StopAllDownloads();  // at once: the worker has ended (and no new handle can take the old value)
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(worker, &flags));
}

TEST_F(DownloaderTest, ExitInstanceStopsTheAppsDownloadsAndTheRecordOutlivesTheApp)
{
    // A body of unknown length that keeps coming, a little every 10 ms, until the client leaves.
    server.server().Get("/trickle", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
            Sleep(10);
            return sink.write("trickle ", 8);
        });
    });
    auto* app = new CVorlanClientApp;
    CDownloadProgress* record = app->progress;
    ASSERT_TRUE(record && record->done == 0 && record->total == 1 && record->buffer.capacity == 4096);
    record->Reset(dir / "pkg");
    app->downloader.StartDownloadThread("app", server.Url("/trickle").c_str(), record);
    ASSERT_TRUE(WaitUntil([&] { return FileSize(dir / "pkg") > 0; }));
    EXPECT_TRUE(record->downloaded == 0 && record->total == 1);  // while no length is known
    int exitCode = -1;
    EXPECT_TRUE(RunWithin([&] { exitCode = app->ExitInstance(); }));
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(app->downloader.tasks.empty() && record->done == 1);
    EXPECT_TRUE(RunWithin([app] { delete app; }));                         // nothing is left to stop
    EXPECT_EQ(Failed(0, 200, server.Url("/trickle")), record->errorText);  // still readable
}

namespace {
// Socket calls on the client's end of a connection to the test server, seen through the
// executable's imports.
using RecvFunction = int(WSAAPI*)(SOCKET, char*, int, int);
using PollFunction = int(WSAAPI*)(WSAPOLLFD*, ULONG, INT);
RecvFunction g_recv = nullptr;
PollFunction g_poll = nullptr;
std::atomic<int> g_serverPort{0}, g_clientReads{0}, g_clientPollsAfterARead{0};

bool IsClientOfTestServer(SOCKET sock)
{
    sockaddr_in peer{};
    int size = sizeof(peer);
    return getpeername(sock, reinterpret_cast<sockaddr*>(&peer), &size) == 0 && ntohs(peer.sin_port) == g_serverPort;
}
int WSAAPI CountingRecv(SOCKET sock, char* bytes, int length, int flags)
{
    g_clientReads += IsClientOfTestServer(sock);
    return g_recv(sock, bytes, length, flags);
}
int WSAAPI CountingPoll(WSAPOLLFD* sockets, ULONG count, INT timeout)
{
    g_clientPollsAfterARead += g_clientReads > 0 && count > 0 && IsClientOfTestServer(sockets[0].fd);
    return g_poll(sockets, count, timeout);
}
}  // namespace

// Under Wine a poll costs as much as the read it precedes: the body is read without one,
// and the socket's receive time-out still ends a body that stalls.
TEST_F(DownloaderTest, TheBodyIsReadWithoutPollingAndAStallStillEnds)
{
    server.server().Get("/pieces", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(body.size(), "application/octet-stream",
                                      [&](size_t offset, size_t, httplib::DataSink& sink) {
                                          Sleep(20);  // each piece arrives on its own
                                          return sink.write(body.data() + offset,
                                                            std::min(kBreakAt, body.size() - offset));
                                      });
    });
    g_serverPort = server.port();
    HMODULE winsock = GetModuleHandleA("ws2_32.dll");
    g_recv = reinterpret_cast<RecvFunction>(reinterpret_cast<void*>(GetProcAddress(winsock, "recv")));
    g_poll = reinterpret_cast<PollFunction>(reinterpret_cast<void*>(GetProcAddress(winsock, "WSAPoll")));
    {
        vt::ImportHook recvHook("ws2_32.dll", "recv", reinterpret_cast<void*>(CountingRecv));
        vt::ImportHook pollHook("ws2_32.dll", "WSAPoll", reinterpret_cast<void*>(CountingPoll));
        ASSERT_TRUE(recvHook.installed() && pollHook.installed());
        ASSERT_TRUE(Fetch(server.Url("/pieces"), dir / "pieces.bin"));
    }
    EXPECT_TRUE(progress.errorText.empty() && Contents(dir / "pieces.bin") == body);
    EXPECT_GE(g_clientReads, 3);
    EXPECT_EQ(0, g_clientPollsAfterARead);

    vt::RawListener stalling;
    ASSERT_TRUE(stalling.Start(vt::RawListener::Mode::Stall, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"));
    CDownloadManager::settings.maxRetries = 0;
    ASSERT_TRUE(Fetch(stalling.Url("/slow"), dir / "stalled.bin"));
    EXPECT_EQ(Failed(1, 200, stalling.Url("/slow")), progress.errorText);
}
