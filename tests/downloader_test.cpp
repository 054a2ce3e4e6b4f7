// The background downloader against a scripted HTTP server on 127.0.0.1: resumption,
// statuses, retries, local-file failures, redirects, stopping, and its helpers.
#include <gtest/gtest.h>

// The HTTP library brings Winsock 2, which must come before windows.h.
#include "tests/support/test_server.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/folders.h"
#include "app/vorlan_app.h"
#include "net/byte_buffer.h"
#include "net/downloader.h"
#include "net/http_url.h"
#include "tests/support/test_support.h"

namespace {
constexpr DWORD kWaitMs = 60000;
constexpr size_t kBodySize = 300000;
constexpr size_t kBreakAt = 100000;

std::string Body()
{
    std::string body(kBodySize, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return body;
}

// Shortens the pause and the count of retries for one test, and puts them back.
class RetrySettings {
public:
    explicit RetrySettings(int maxRetries = 3, DWORD pauseMs = 50) : m_saved(CDownloadManager::settings)
    {
        CDownloadManager::settings.maxRetries = maxRetries;
        CDownloadManager::settings.retryPauseMs = pauseMs;
    }
    ~RetrySettings() { CDownloadManager::settings = m_saved; }

private:
    CDownloadSettings m_saved;
};

// The Range header of every request the server saw, in order ("" when none).
class SeenRequests {
public:
    size_t Add(const httplib::Request& request)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ranges.push_back(request.get_header_value("Range"));
        m_agent = request.get_header_value("User-Agent");
        return m_ranges.size();
    }
    std::vector<std::string> Ranges()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ranges;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ranges.clear();
    }
    std::string Agent()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_agent;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_ranges;
    std::string m_agent;
};

// The library answers any Range request with 206 by itself; a server that does
// not support ranges is played by forgetting the parsed ranges of the request.
void IgnoreRange(const httplib::Request& request)
{
    const_cast<httplib::Request&>(request).ranges.clear();
}

// A body of the announced length that breaks off after `upTo` bytes of the whole body.
void ServeBreaking(httplib::Response& response, const std::string& body, size_t upTo)
{
    response.set_content_provider(body.size(), "application/octet-stream",
                                  [body, upTo](size_t offset, size_t, httplib::DataSink& sink) {
                                      if (offset < upTo)
                                          sink.write(body.data() + offset, upTo - offset);
                                      return false;
                                  });
}

DWORD WINAPI RunJob(void* job)
{
    (*static_cast<std::function<void()>*>(job))();
    return 0;
}

// Runs job on a thread of its own; false when it has not returned in time (the
// job is then left running, so that a blocked call cannot hang the test run).
bool RunWithin(const std::function<void()>& job, DWORD timeoutMs)
{
    auto* copy = new std::function<void()>(job);
    HANDLE thread = CreateThread(nullptr, 0, RunJob, copy, 0, nullptr);
    const bool ended = thread && WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    if (thread)
        CloseHandle(thread);
    if (ended)
        delete copy;
    return ended;
}

bool StopWithin(CDownloadManager& manager, DWORD timeoutMs)
{
    return RunWithin([&manager] { manager.StopAllDownloads(); }, timeoutMs);
}

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    void TearDown() override
    {
        // A manager that would not stop is left alone rather than blocking the run.
        if (StopWithin(*manager, kWaitMs))
            delete manager;
    }

    // Downloads url into target the way the pipeline does: reset, start, poll every 10 ms.
    bool Fetch(const std::string& url, const std::string& target)
    {
        progress.Reset(target);
        manager->StartDownloadThread("测试下载", url.c_str(), &progress);
        for (DWORD waited = 0; waited < kWaitMs && progress.done != 1; waited += 10)
            Sleep(10);
        return progress.done == 1;
    }
    std::string Failed(int running, int status, const std::string& url)
    {
        return "http response failed, isrun:" + std::to_string(running) +
               ", res:NULL, status: " + std::to_string(status) + ", url: " + url;
    }

    vt::TempDir dir{"dl"};
    vt::TestServer server;
    SeenRequests seen;
    RetrySettings fast;
    CDownloadProgress progress;
    CDownloadManager* manager = new CDownloadManager;
    const std::string body = Body();
};
}  // namespace

TEST(ParseHttpUrlTest, SplitsUrlsIntoHostPortAndPath)
{
    struct Case {
        const char* url;
        bool parsed;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://dl.example.com/pkg/game.zip?ver=42", true, "dl.example.com", 80, "/pkg/game.zip?ver=42"},
        {"http://10.0.0.5:8080", true, "10.0.0.5", 8080, "/"},
        {"http://h:81/a/b#part", true, "h", 81, "/a/b"},
        {"https://secure.example.com/x", true, "secure.example.com", 80, "/x"},
        {"example.com/file", true, "", 80, "example.com/file"},
        {"http://h:65535/", true, "h", 65535, "/"},
        {"http://h:65536/", false, "", 0, ""},
        {"http://h:99999999999999999999/", false, "", 0, ""},
        {"http://h/a#frag\nment", false, "", 0, ""},
    };
    const std::string longest = "http://h/" + std::string(4096 - 9, 'a');
    CHttpUrl parsed;
    EXPECT_TRUE(ParseHttpUrl(longest, parsed));
    EXPECT_EQ(longest.substr(8), parsed.path);
    EXPECT_FALSE(ParseHttpUrl(longest + "a", parsed));  // longer ones would overflow the matcher's stack
    for (const Case& c : cases) {
        CHttpUrl url;
        ASSERT_EQ(c.parsed, ParseHttpUrl(c.url, url)) << c.url;
        if (!c.parsed)
            continue;
        EXPECT_EQ(c.host, url.host) << c.url;
        EXPECT_EQ(c.port, url.port) << c.url;
        EXPECT_EQ(c.path, url.path) << c.url;
    }
}

TEST(ByteBufferTest, GrowsByDoublingAndKeepsEveryByte)
{
    const std::string bytes = Body();
    CByteBuffer buffer;
    ASSERT_EQ(4096, buffer.capacity);
    ASSERT_TRUE(buffer.Append(bytes.data(), 4095));
    EXPECT_EQ(4096, buffer.capacity);  // one byte stays spare
    buffer.Clear();
    ASSERT_TRUE(buffer.Append(bytes.data(), 4096));
    EXPECT_EQ(8192, buffer.capacity);
    buffer.Clear();
    ASSERT_TRUE(buffer.Append(bytes.data(), 5000));
    ASSERT_TRUE(buffer.Append(bytes.data() + 5000, 4000));
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

TEST_F(DownloaderTest, ResumesABrokenTransferFromWhereItStopped)
{
    server.server().Get("/pkg", [&](const httplib::Request& request, httplib::Response& response) {
        if (seen.Add(request) == 1)
            ServeBreaking(response, body, kBreakAt);
        else
            response.set_content(body, "application/octet-stream");  // the library answers the Range: 206
    });
    ASSERT_TRUE(Fetch(server.Url("/pkg"), dir / "game.zip.downloading"));
    EXPECT_EQ("", progress.errorText);
    EXPECT_TRUE(vt::ReadFileBytes(dir / "game.zip.downloading") == body);
    EXPECT_EQ(std::vector<std::string>({"", "bytes=" + std::to_string(kBreakAt) + "-"}), seen.Ranges());
    EXPECT_EQ(static_cast<LONG>(kBodySize), progress.downloaded);
    EXPECT_EQ(static_cast<LONG>(kBodySize), progress.total);
    EXPECT_EQ("cpp-httplib/0.6", seen.Agent());
}

TEST_F(DownloaderTest, StartsAgainWhenStoredBytesCannotBeContinued)
{
    // 1: breaks after kBreakAt bytes.  Then per scenario: the Range is ignored (200
    // with the whole body), or answered at the wrong offset, or the body had no length,
    // or the target has become empty (204).
    std::string scenario;
    server.server().Get("/pkg", [&](const httplib::Request& request, httplib::Response& response) {
        const size_t number = seen.Add(request);
        if (scenario == "chunked" && number == 1) {
            response.set_chunked_content_provider("application/octet-stream", [&](size_t, httplib::DataSink& sink) {
                sink.write(body.data(), kBreakAt);
                return false;
            });
            return;
        }
        if (number == 1)
            return ServeBreaking(response, body, kBreakAt);
        IgnoreRange(request);
        if (scenario == "no content") {
            response.status = 204;
            return;
        }
        if (scenario == "wrong offset" && number == 2) {
            response.status = 206;
            response.set_header("Content-Range",
                                "bytes 0-" + std::to_string(kBodySize - 1) + "/" + std::to_string(kBodySize));
        }
        response.set_content(body, "application/octet-stream");
    });
    const std::string resume = "bytes=" + std::to_string(kBreakAt) + "-";
    const struct {
        const char* name;
        std::vector<std::string> ranges;
        std::string content;
    } scenarios[] = {{"ignored", {"", resume}, body},
                     {"wrong offset", {"", resume, ""}, body},
                     {"chunked", {"", ""}, body},
                     {"no content", {"", resume}, ""}};
    for (const auto& s : scenarios) {
        scenario = s.name;
        seen.Clear();
        const std::string target = dir / (scenario + ".bin");
        ASSERT_TRUE(Fetch(server.Url("/pkg"), target)) << scenario;
        EXPECT_EQ("", progress.errorText) << scenario;
        EXPECT_TRUE(vt::ReadFileBytes(target) == s.content) << scenario;
        EXPECT_EQ(s.ranges, seen.Ranges()) << scenario;
    }
}

TEST_F(DownloaderTest, StatusesDecideSuccessAndRefusalsMakeNoFile)
{
    server.server().Get(R"(/status/(\d+))", [&](const httplib::Request& request, httplib::Response& response) {
        seen.Add(request);
        response.status = std::stoi(request.matches[1]);
        if (response.status != 204)
            response.set_content("status body", "text/plain");
    });
    const std::string url404 = server.Url("/status/404");
    ASSERT_TRUE(Fetch(url404, dir / "a\\missing.ini"));
    EXPECT_EQ(Failed(1, 404, url404), progress.errorText);
    EXPECT_FALSE(vt::FileExists(dir / "a"));
    EXPECT_EQ(1u, seen.Ranges().size());  // no retry

    vt::WriteFileBytes(dir / "old.ini", "stale bytes of an earlier run");
    ASSERT_TRUE(Fetch(server.Url("/status/204"), dir / "old.ini"));
    EXPECT_EQ("", progress.errorText);
    EXPECT_TRUE(vt::FileExists(dir / "old.ini"));
    EXPECT_EQ("", vt::ReadFileBytes(dir / "old.ini"));  // the target holds exactly the (empty) body

    // A status that fails the download keeps its body out of the target, once.
    vt::WriteFileBytes(dir / "accepted.ini", "previous");
    const std::string url202 = server.Url("/status/202");
    ASSERT_TRUE(Fetch(url202, dir / "accepted.ini"));
    EXPECT_EQ("http response status: 202, url: " + url202, progress.errorText);
    EXPECT_EQ("previous", vt::ReadFileBytes(dir / "accepted.ini"));
    EXPECT_EQ(3u, seen.Ranges().size());
}

TEST_F(DownloaderTest, RetriesAsOftenAsSetThenFails)
{
    vt::TestServer closed;
    ASSERT_TRUE(closed.Start());
    const std::string unreachable = closed.Url("/pkg");
    closed.Stop();
    ASSERT_TRUE(Fetch(unreachable, dir / "pkg"));
    EXPECT_EQ(Failed(1, 0, unreachable), progress.errorText);

    server.server().Get("/always-breaks", [&](const httplib::Request& request, httplib::Response& response) {
        seen.Add(request);
        IgnoreRange(request);
        ServeBreaking(response, body, kBreakAt);
    });
    const std::string breaking = server.Url("/always-breaks");
    ASSERT_TRUE(Fetch(breaking, dir / "pkg"));
    EXPECT_EQ(Failed(1, 200, breaking), progress.errorText);
    EXPECT_EQ(4u, seen.Ranges().size());                                  // the first request and 3 retries
    EXPECT_EQ(body.substr(0, kBreakAt), vt::ReadFileBytes(dir / "pkg"));  // each attempt started over
}

TEST_F(DownloaderTest, LocalFileFailures)
{
    std::atomic<int> requestsUntilMended{0};
    server.server().Get("/f", [&](const httplib::Request& request, httplib::Response& response) {
        seen.Add(request);
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
    EXPECT_EQ(1u, seen.Ranges().size());

    // Every missing level of the folder is made, none cut at a trail byte that looks like '\'.
    const std::string deep = dir / "游戏嘰包\\b\\c\\pkg.zip";
    ASSERT_TRUE(Fetch(url, deep));
    EXPECT_EQ("", progress.errorText);
    EXPECT_TRUE(vt::ReadFileBytes(deep) == body);
    EXPECT_FALSE(vt::FileExists(dir / "游戏"));

    // A folder that cannot be made: retried, and the first failure's text is the result...
    vt::WriteFileBytes(dir / "blocker", "a file where a folder should be");
    const std::string blocked = dir / "blocker\\sub\\pkg.zip";
    ASSERT_TRUE(Fetch(url, blocked));
    EXPECT_EQ("Create local dir failed: " + dir / "blocker\\sub" +
                  ", error code: " + std::to_string(progress.lastError),
              progress.errorText);
    EXPECT_NE(0u, progress.lastError);
    // ...unless a retry succeeds: then the download succeeded and says so.
    requestsUntilMended = 2;
    const size_t before = seen.Ranges().size();
    ASSERT_TRUE(Fetch(url, blocked));
    EXPECT_EQ(before + 2, seen.Ranges().size());
    EXPECT_EQ("", progress.errorText);
    EXPECT_EQ(0u, progress.lastError);
    EXPECT_TRUE(vt::ReadFileBytes(blocked) == body);
}

TEST_F(DownloaderTest, AFullDiskFailsTheDownloadAtOnce)
{
    // Wine shows the host's /dev/full, whose every write fails for want of space.
    const std::string full = "Z:\\dev\\full";
    HANDLE probe = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no full device to write to";
    CloseHandle(probe);
    server.server().Get("/f", [&](const httplib::Request& request, httplib::Response& response) {
        seen.Add(request);
        response.set_content(body, "application/octet-stream");
    });
    ASSERT_TRUE(Fetch(server.Url("/f"), full));
    EXPECT_EQ("Write local file failed: " + full + ", error code: " + std::to_string(ERROR_DISK_FULL),
              progress.errorText);
    EXPECT_EQ(1u, seen.Ranges().size());
}

TEST_F(DownloaderTest, FollowsRedirectsAndKeepsTheirBodiesOut)
{
    const std::string finalBody = body.substr(0, 5000);
    server.server().Get("/old", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/new");
        response.set_content(std::string(70000, 'R'), "text/html");
    });
    server.server().Get("/new", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(finalBody, "application/octet-stream");
    });
    server.server().Get("/nowhere", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("http://127.0.0.1:99999999999/x");
    });
    ASSERT_TRUE(Fetch(server.Url("/old"), dir / "cfg.ini"));
    EXPECT_EQ("", progress.errorText);
    EXPECT_TRUE(vt::ReadFileBytes(dir / "cfg.ini") == finalBody);
    EXPECT_EQ(5000, progress.downloaded);
    EXPECT_EQ(5000, progress.total);

    // A Location the library cannot follow ends the download as failed, not the process.
    const std::string nowhere = server.Url("/nowhere");
    ASSERT_TRUE(Fetch(nowhere, dir / "nowhere.ini"));
    EXPECT_EQ(Failed(1, 0, nowhere), progress.errorText);
}

TEST_F(DownloaderTest, StopAllDownloadsEndsStalledAndPausedDownloads)
{
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    server.server().Get("/stall", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(body.size(), "application/octet-stream",
                                      [&](size_t offset, size_t, httplib::DataSink& sink) {
                                          if (offset == 0)
                                              return sink.write(body.data(), kBreakAt);
                                          WaitForSingleObject(release, kWaitMs);
                                          return false;
                                      });
    });
    const std::string url = server.Url("/stall");
    progress.Reset(dir / "stalled.bin");
    manager->StartDownloadThread("stall", url.c_str(), &progress);
    for (DWORD waited = 0; waited < kWaitMs && progress.downloaded < static_cast<LONG>(kBreakAt); waited += 10)
        Sleep(10);
    ASSERT_EQ(static_cast<LONG>(kBreakAt), progress.downloaded);
    EXPECT_TRUE(StopWithin(*manager, kWaitMs));
    EXPECT_TRUE(manager->tasks.empty());
    EXPECT_EQ(1, progress.done);
    EXPECT_EQ(Failed(0, 200, url), progress.errorText);
    SetEvent(release);

    // A stop during the pause before a retry does not sit out the pause.
    RetrySettings longPause(30, 600000);
    vt::TestServer closed;
    ASSERT_TRUE(closed.Start());
    const std::string unreachable = closed.Url("/x");
    closed.Stop();
    progress.Reset(dir / "paused.bin");
    manager->StartDownloadThread("pause", unreachable.c_str(), &progress);
    Sleep(200);
    EXPECT_TRUE(StopWithin(*manager, kWaitMs));
    EXPECT_EQ(Failed(0, 0, unreachable), progress.errorText);
    CloseHandle(release);
}

TEST_F(DownloaderTest, KeepsABodyWithoutTargetInMemory)
{
    server.server().Get("/mem", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/octet-stream");
    });
    ASSERT_TRUE(Fetch(server.Url("/mem"), ""));
    EXPECT_EQ("", progress.errorText);
    ASSERT_EQ(static_cast<int>(kBodySize), progress.buffer.size);
    EXPECT_TRUE(std::string(progress.buffer.data, progress.buffer.size) == body);
}

TEST(DownloadManagerTest, AThreadThatCannotStartEndsTheDownloadAsFailed)
{
    CDownloadManager manager;
    EXPECT_TRUE(StopWithin(manager, kWaitMs));  // nothing to stop

    const CDownloadSettings saved = CDownloadManager::settings;
    CDownloadManager::settings.startThread = [](LPTHREAD_START_ROUTINE, void*) -> HANDLE {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    CDownloadProgress progress;
    progress.Reset("C:\\never.bin");
    EXPECT_EQ(nullptr, manager.StartDownloadThread("x", "http://127.0.0.1:1/x", &progress));
    CDownloadManager::settings = saved;
    EXPECT_EQ(1, progress.done);
    ASSERT_EQ(1u, manager.tasks.size());
    EXPECT_EQ(1, manager.tasks[0]->finished);
    EXPECT_EQ("create download thread failed, error code: 8", progress.errorText);
    EXPECT_TRUE(StopWithin(manager, kWaitMs));

    // A started worker's handle is real, and the manager closes it with the task.
    progress.Reset("");
    HANDLE thread = manager.StartDownloadThread("x", "no url\n#\n", &progress);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kWaitMs));
    EXPECT_EQ("parse httpurl failed, url=no url\n#\n", progress.errorText);
    EXPECT_TRUE(StopWithin(manager, kWaitMs));
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(thread, &flags));
}

TEST(VorlanAppDownloadTest, DestroyingTheAppStopsItsDownloadsAndKeepsTheRecord)
{
    vt::TestServer server;
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    server.server().Get("/stall",
                        [&](const httplib::Request&, httplib::Response&) { WaitForSingleObject(release, kWaitMs); });
    ASSERT_TRUE(server.Start());
    auto* app = new CVorlanClientApp;
    CDownloadProgress* record = app->progress;
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(0, record->done);
    EXPECT_EQ(1, record->total);
    EXPECT_EQ(4096, record->buffer.capacity);
    record->Reset("");
    app->downloader.StartDownloadThread("app", server.Url("/stall").c_str(), record);
    EXPECT_TRUE(RunWithin([app] { delete app; }, kWaitMs));
    EXPECT_EQ(1, record->done);  // still readable: the record outlives the application object
    SetEvent(release);
    server.Stop();
    CloseHandle(release);
}
