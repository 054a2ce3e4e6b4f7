// The background downloader against a scripted HTTP server on 127.0.0.1: resumption,
// statuses, retries, local-file failures, redirects, stopping, and its helpers.
#include <gtest/gtest.h>

// The HTTP library brings Winsock 2, which must come before windows.h.
#include "tests/support/test_server.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "afx/afxfile.h"
#include "app/vorlan_app.h"
#include "base/log.h"
#include "net/byte_buffer.h"
#include "net/downloader.h"
#include "net/interruptible_sockets.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/raw_listener.h"
#include "tests/support/test_support.h"

namespace {
constexpr DWORD kWaitMs = 60000;
constexpr size_t kBodySize = 300000, kBreakAt = 100000;
const std::string kNoFile = "(no file)";

std::string Body()
{
    std::string body(kBodySize, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return body;
}

std::string Failed(int running, int status, const std::string& url)
{
    return "http response failed, isrun:" + std::to_string(running) + ", res:NULL, status: " + std::to_string(status) +
           ", url: " + url;
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
    DownloaderTest() { CDownloadManager::settings.maxRetries = 3, CDownloadManager::settings.retryPauseMs = 50; }
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    // The destructor stops what still runs; a manager that would not stop is left alone.
    void TearDown() override
    {
        EXPECT_TRUE(vt::RunWithin([doomed = manager] { delete doomed; }, kWaitMs));
        CDownloadManager::settings = saved;
    }
    // Starts a download as the pipeline does: reset the record, then start.  The log
    // then holds this download's lines only.
    HANDLE Start(const std::string& url, const std::string& target)
    {
        LogInit(logPath.c_str());
        progress.Reset(target);
        return manager->StartDownloadThread("测试下载", url.c_str(), &progress);
    }
    bool Fetch(const std::string& url, const std::string& target)
    {
        Start(url, target);
        return vt::WaitUntil([this] { return progress.done == 1; }, kWaitMs);
    }
    // Notes the Range header of a request the server saw ("" when none); gives how many it saw.
    size_t Seen(const httplib::Request& request)
    {
        const std::lock_guard<std::mutex> lock(seenMutex);
        ranges.push_back(request.get_header_value("Range"));
        return ranges.size();
    }
    std::vector<std::string> TakeSeen()
    {
        const std::lock_guard<std::mutex> lock(seenMutex);
        return std::exchange(ranges, {});
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

// The library calls Add as it makes a socket and would lose the socket to an exception:
// without memory to hold it, nothing is thrown (a throw here ends the test binary), and the
// socket stays the library's: neither closed nor shut down, it still carries bytes both ways.
TEST(InterruptibleSocketsTest, NoMemoryToHoldASocketThrowsNothingIntoTheLibrary)
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    ASSERT_TRUE(listener != INVALID_SOCKET && bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                listen(listener, 1) == 0 &&
                getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    const SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(connect(sock, reinterpret_cast<sockaddr*>(&address), length), 0);
    const SOCKET peer = accept(listener, nullptr, nullptr);
    ASSERT_NE(peer, INVALID_SOCKET);

    CInterruptibleSockets sockets;
    {
        vt::AllocationLimit noMemory(0);
        sockets.Add(sock);
    }
    sockets.InterruptAll();
    sockets.ReleaseAll();

    char byte = 0;
    EXPECT_EQ(send(sock, "a", 1, 0), 1);
    EXPECT_TRUE(recv(peer, &byte, 1, 0) == 1 && byte == 'a');
    EXPECT_EQ(send(peer, "b", 1, 0), 1);
    EXPECT_TRUE(recv(sock, &byte, 1, 0) == 1 && byte == 'b');
    closesocket(peer);
    closesocket(sock);
    closesocket(listener);
}

TEST(ByteBufferTest, RefusesASizePastItsCounters)
{
    CByteBuffer buffer;
    ASSERT_TRUE(buffer.Append("abc", 3));
    EXPECT_FALSE(buffer.Append("abc", 0x7FFFFFFF));  // before any byte is read
    EXPECT_TRUE(buffer.size == 3 && buffer.capacity == 4096);
}

// How the server answers decides what the target holds: each byte once and in place, or
// what it held before.  Nothing is logged for a retry.
TEST_F(DownloaderTest, ResumesRestartsOrFailsSoTheTargetHoldsEachByteOnceInPlace)
{
    std::string scenario;  // how the server answers the n-th request of a download
    server.server().Get("/pkg", [&](const httplib::Request& request, httplib::Response& response) {
        const size_t n = Seen(request);
        if (request.get_header_value("User-Agent") != "cpp-httplib/0.6")
            response.status = 418;
        else if (std::isdigit(scenario[0]))
            response.status = std::stoi(scenario);
        if (response.status != -1) {  // a refused body stays out of the target; a 206 without Content-Range is whole
            if (scenario != "204")
                response.set_content(scenario == "206" ? body : "status body", "text/plain");
            return;
        }
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
    // The fragment is not sent, the query is.
    const std::string url = server.Url("/pkg?v=1#part"), resume = "bytes=" + std::to_string(kBreakAt) + "-";
    const struct {
        const char* name;
        std::vector<std::string> ranges;
        std::string before, content, error;  // before: the target's content, or kNoFile
    } scenarios[] = {
        {"resumed", {"", resume}, kNoFile, body, ""},
        {"redirected", {"", ""}, kNoFile, body, ""},  // into memory
        {"range ignored", {"", resume}, kNoFile, body, ""},
        {"answered from 0", {"", resume, ""}, kNoFile, body, ""},
        {"no length", {"", ""}, kNoFile, body, ""},
        {"emptied", {"", resume}, kNoFile, "", ""},
        {"always breaks", {"", resume, resume, resume}, kNoFile, body.substr(0, kBreakAt), Failed(1, 200, url)},
        {"misplaced first part", {"", "", "", ""}, kNoFile, kNoFile, Failed(1, 206, url)},
        {"204", {""}, "stale bytes", "", ""},
        {"202", {""}, "previous", "previous", "http response status: 202, url: " + url},
        {"206", {""}, kNoFile, body, ""},
    };
    for (const auto& s : scenarios) {
        scenario = s.name;
        const std::string folder = dir / s.name, target = scenario == "redirected" ? "" : folder + "\\t.bin";
        ASSERT_TRUE(s.before == kNoFile ||
                    (CreateDirectoryA(folder.c_str(), nullptr) && vt::WriteFileBytes(target, s.before)));
        ASSERT_TRUE(Fetch(url, target)) << s.name;
        EXPECT_EQ(s.error, progress.errorText) << s.name;
        const std::string stored = target.empty() ? std::string(progress.buffer.data, progress.buffer.size)
                                                  : (vt::FileExists(target) ? vt::ReadFileBytes(target) : kNoFile);
        EXPECT_TRUE(stored == s.content) << s.name;
        EXPECT_TRUE(target.empty() || vt::FileExists(folder) == (s.content != kNoFile)) << s.name;  // none for nothing
        EXPECT_EQ(s.ranges, TakeSeen()) << s.name;
        std::vector<std::string> log{"start Request, agent:测试下载, url: " + url + " !",
                                     "host: 127.0.0.1, path: /pkg?v=1, port: " + std::to_string(server.port()), s.error,
                                     "Request complete!"};
        log.erase(std::remove(log.begin(), log.end(), ""), log.end());
        EXPECT_EQ(log, vt::LogMessages(logPath)) << s.name;
        EXPECT_TRUE(s.content != body || (progress.downloaded == LONG{kBodySize} && progress.total == LONG{kBodySize}));
    }

    // URLs that reach no server, and whether they parse.  Without "//" there is no host, so no
    // connection: no host is guessed from the path.  Longer URLs would overflow the matcher.
    server.server().Get("/nowhere", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("http://127.0.0.1:99999999999/x");  // the library throws on it
    });
    const std::pair<std::string, bool> cases[] = {
        {"http:127.0.0.1:" + std::to_string(server.port()) + "/pkg", true},
        {server.Url("/nowhere"), true},
        {"http://127.0.0.1:65536/pkg", false},
        {"http://h/" + std::string(4096 - 8, 'a'), false},
    };
    for (const auto& [bad, parsed] : cases) {
        ASSERT_TRUE(Fetch(bad, dir / "pkg"));
        EXPECT_EQ(parsed ? Failed(1, 0, bad) : ("parse httpurl failed, url=" + bad).substr(0, 4094),
                  progress.errorText);
        EXPECT_EQ(parsed, vt::Contains(vt::LogMessages(logPath), "Request complete!")) << bad;
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
    ASSERT_TRUE(Fetch(url, "Z:\\dev\\full"));
    EXPECT_EQ("Write local file failed: Z:\\dev\\full, error code: " + std::to_string(ERROR_DISK_FULL),
              progress.errorText);
    EXPECT_EQ(1u, TakeSeen().size());
}

TEST_F(DownloaderTest, StarvedAndUnstartedWorkersEndTheDownloadAsFailed)
{
    CDownloadManager::settings.startThread = [](LPTHREAD_START_ROUTINE, void*) -> HANDLE {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    EXPECT_EQ(nullptr, Start("http://127.0.0.1:1/x", dir / "never.bin"));
    ASSERT_TRUE(progress.done == 1 && manager->tasks.size() == 1 && manager->tasks[0]->finished == 1);
    EXPECT_EQ("create download thread failed, error code: 8", progress.errorText);

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
    WIN32_FILE_ATTRIBUTE_DATA data{};  // from the folder entry: the worker holds the target unshared
    ASSERT_TRUE(vt::WaitUntil(
        [&] { return GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow == 1; },
        kWaitMs));
    vt::g_starvedThread = GetThreadId(worker);
    SetEvent(starved);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, kWaitMs));
    vt::g_starvedThread = 0;
    EXPECT_TRUE(progress.done == 1 && manager->tasks.back()->finished == 1);
    EXPECT_EQ("out of memory", progress.errorText);
    EXPECT_TRUE(DeleteFileA(target.c_str()));  // not left open
    CloseHandle(starved);
    // The manager closes a worker's handle with its task: at once, as the worker has
    // ended (and no new handle can take the old value).
    manager->StopAllDownloads();
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(worker, &flags));
}

// One in the pause before a retry too.
TEST_F(DownloaderTest, ExitInstanceStopsTheAppsDownloadsAtOnceAndTheRecordOutlivesTheApp)
{
    static HANDLE pausing = nullptr;  // set once the worker sleeps in the pause before its first retry
    pausing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CDownloadManager::settings.retryPauseMs = 600000;
    CDownloadManager::settings.pauseSlice = [](DWORD milliseconds) { SetEvent(pausing), Sleep(milliseconds); };
    server.server().Get("/breaks", [&](const httplib::Request& request, httplib::Response& response) {
        Seen(request);
        ServeBreaking(response, body, kBreakAt);
    });
    auto* app = new CVorlanClientApp;
    CDownloadProgress* record = app->progress;
    record->Reset(dir / "pkg");
    app->downloader.StartDownloadThread("app", server.Url("/breaks").c_str(), record);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pausing, kWaitMs));
    int exitCode = -1;
    EXPECT_TRUE(vt::RunWithin([&] { exitCode = app->ExitInstance(); }, kWaitMs));
    EXPECT_TRUE(exitCode == 0 && app->downloader.tasks.empty() && record->done == 1 && TakeSeen().size() == 1);
    EXPECT_TRUE(vt::RunWithin([app] { delete app; }, kWaitMs));           // nothing is left to stop
    EXPECT_EQ(Failed(0, 200, server.Url("/breaks")), record->errorText);  // still readable
    CloseHandle(pausing);
}

// While no length is known the record shows 0 of 1 (0 percent), however much has arrived.
TEST_F(DownloaderTest, ABodyOfUnknownLengthShowsNoProgress)
{
    server.server().Get("/trickle", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
            Sleep(10);
            return sink.write("trickle ", 8);
        });
    });
    const std::string target = dir / "pkg";
    Start(server.Url("/trickle"), target);
    WIN32_FILE_ATTRIBUTE_DATA data{};  // from the folder entry: the worker holds the target unshared
    ASSERT_TRUE(vt::WaitUntil(
        [&] { return GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow >= 64; },
        kWaitMs));
    EXPECT_TRUE(progress.downloaded == 0 && progress.total == 1);
}

// The library's reads, patched by the build to skip the poll before each receive (the
// download bench shows the gain), end a body that stalls by the socket's receive time-out.
TEST_F(DownloaderTest, AStalledBodyEndsTheDownloadAsFailed)
{
    vt::RawListener stalling;
    ASSERT_TRUE(stalling.Start(vt::RawListener::Mode::Stall, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"));
    CDownloadManager::settings.maxRetries = 0;
    ASSERT_TRUE(Fetch(stalling.Url("/slow"), dir / "stalled.bin"));
    EXPECT_EQ(Failed(1, 200, stalling.Url("/slow")), progress.errorText);
}
