// No server may hold the window or the exit for ever.  Each network call of the UI thread
// ends by its total limit, and the exit's wait for the download workers by its own, also
// against servers that trickle one byte every two seconds: a pace that restarts every
// per-read time-out.  Each call is waited for no longer than twice its limit.
#include "tests/support/raw_listener.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "base/log.h"
#include "net/deadline.h"
#include "net/downloader.h"
#include "net/http_client.h"
#include "net/upload.h"
#include "tests/support/test_support.h"
#include "ui/redirect_probe.h"

namespace {
const std::string kHead = "HTTP/1.0 200 OK\r\nContent-Length: 64\r\n\r\n";
const std::string kReply = kHead + vt::Letters(64);

// The hostile servers: each sends its first bytes at once, then one byte every two seconds.
const struct {
    const char* name;
    size_t atOnce;
} kTricklers[] = {
    {"header lines", 9},               // "HTTP/1.0 ", then the status code byte by byte
    {"body bytes", kHead.size() + 1},  // the head and one byte of the body
};
}  // namespace

TEST(BoundedWaits, AQosReportGivesUpAtItsTotalLimitAgainstATricklingServer)
{
    for (const auto& trickler : kTricklers) {
        vt::RawListener peer;
        ASSERT_TRUE(peer.StartTrickling(kReply, trickler.atOnce));
        CHttpClient client;
        int result = -1;
        std::string response = "stale";
        ASSERT_TRUE(vt::RunWithin([&] { result = client.HttpGet(peer.Url("/qos?data=x").c_str(), response); },
                                  2 * CHttpClient::kTotalTimeoutMs))
            << trickler.name;
        EXPECT_TRUE(result == HTTP_GET_TIMEOUT && response.empty()) << trickler.name << " " << result;
    }
}

// Shortened from the launcher's 15 s.  The log is let go once its bytes are out, so that a
// reply that never ends does not keep the launcher's log writer out of it.
TEST(BoundedWaits, ALogUploadGivesUpAtItsTotalLimitAndLetsTheLogGo)
{
    constexpr DWORD kTotalMs = 1500;
    vt::TempDir dir("upload");
    const std::string log = dir / "log.log";
    ASSERT_TRUE(vt::WriteFileBytes(log, "log lines\r\n"));
    for (const auto& trickler : kTricklers) {
        vt::RawListener peer;
        ASSERT_TRUE(peer.StartTrickling(kReply, trickler.atOnce));
        int result = -1;
        CString response = "earlier";
        ASSERT_TRUE(vt::RunWithin(
            [&] {
                result = UploadFile(peer.Url("/upload").c_str(), log.c_str(), "yy_1_2_shell.txt", response, kTotalMs);
            },
            2 * kTotalMs))
            << trickler.name;
        EXPECT_TRUE(result == UPLOAD_TRANSFER_FAILED && response.IsEmpty()) << trickler.name << " " << result;
        HANDLE writer = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, writer) << trickler.name;
        CloseHandle(writer);
    }
}

// The log is held while its bytes go out.  Against a server that reads slowly, or not at
// all, an upload given up on stops at its next write, or when its current write has waited
// its 5 s, and lets the log go: the launcher's own log writer gets it back.
TEST(BoundedWaits, AnUploadGivenUpOnLetsTheLogGoHoweverSlowlyTheServerReads)
{
    constexpr DWORD kTotalMs = 1500;
    vt::TempDir dir("upload");
    const std::string log = dir / "log.log";
    ASSERT_TRUE(vt::WriteFileBytes(log, vt::Letters(32 << 20)));  // more than the sockets hold
    const auto writerGetsIn = [&log] {
        HANDLE writer = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        CloseHandle(writer);
        return writer != INVALID_HANDLE_VALUE;
    };
    const struct {
        size_t bytesPerSecond;
        DWORD releasedWithinMs;  // after the upload has returned
    } servers[] = {{200 << 10, 3000}, {0, 9000}};
    for (const auto& server : servers) {
        vt::RawListener peer;
        ASSERT_TRUE(peer.StartReadingSlowly(server.bytesPerSecond));
        int result = -1;
        CString response;
        ASSERT_TRUE(vt::RunWithin(
            [&] {
                result = UploadFile(peer.Url("/upload").c_str(), log.c_str(), "yy_1_2_shell.txt", response, kTotalMs);
            },
            2 * kTotalMs))
            << server.bytesPerSecond;
        EXPECT_EQ(result, UPLOAD_TRANSFER_FAILED) << server.bytesPerSecond;
        EXPECT_FALSE(writerGetsIn()) << server.bytesPerSecond;  // still sending
        EXPECT_TRUE(vt::WaitUntil(writerGetsIn, server.releasedWithinMs, [] { Sleep(100); })) << server.bytesPerSecond;
    }
}

// Shortened from the launcher's 15 s.  The hop keeps its 5 s per-call limits, which the
// trickle never reaches; the chain's limit now holds inside the hop too.
TEST(BoundedWaits, TheRedirectChainGivesUpAtItsTotalLimitAlsoInsideATricklingHop)
{
    const RedirectChainLimits limits{10, 1500};
    vt::TempDir dir("chain");
    LogInit((dir / "log.log").c_str());
    vt::RawListener peer;
    ASSERT_TRUE(peer.StartTrickling(kReply, kTricklers[0].atOnce));
    CRedirectProbe probe;
    std::string target = "stale";
    ASSERT_TRUE(
        vt::RunWithin([&] { target = FollowRedirectChain(probe, peer.Url("/start").c_str(), "jumpme", limits).str(); },
                      2 * limits.maxMs));
    EXPECT_EQ("", target);
    EXPECT_EQ("跳转次数或时间超出限制，停止分析：" + peer.Url("/start"), vt::LogMessages(dir / "log.log").back());
}

// A job whose caller stopped waiting keeps its place until it ends, so that a server that
// never lets go cannot leave one more thread behind at every call: once the places are
// taken, a call gives up at once, without starting its job.
TEST(BoundedWaits, JobsLeftRunningAreCappedAndGiveTheirPlacesBackAsTheyEnd)
{
    static CJobLimit limit(2);  // the jobs may outlive the test
    struct Shared {
        ~Shared() { CloseHandle(release); }
        HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> started{0};
    };
    auto shared = std::make_shared<Shared>();
    const auto heldJob = [shared] {
        ++shared->started;
        WaitForSingleObject(shared->release, vt::kWineWaitMs);
    };
    for (int i = 0; i < 2; ++i) {
        const CDeadline deadline(50);
        EXPECT_FALSE(RunWithinDeadline(deadline, limit, heldJob));
        EXPECT_TRUE(deadline.HasPassed());
    }
    const CDeadline refused(1000);
    EXPECT_FALSE(RunWithinDeadline(refused, limit, heldJob));
    EXPECT_FALSE(refused.HasPassed());
    EXPECT_EQ(2, shared->started);

    SetEvent(shared->release);
    EXPECT_TRUE(vt::WaitUntil([] { return RunWithinDeadline(CDeadline(1000), limit, [] {}); }, vt::kWineWaitMs));
    EXPECT_EQ(2, shared->started);
}

// A call's value comes back when it ends in time; one given up on, or one that throws,
// gives nothing, and the value a given-up call writes later lands where nobody reads.
TEST(BoundedWaits, ACallGivesItsValueOnlyWhenItEndsInTime)
{
    static CJobLimit limit(2);  // the late call may outlive the test
    EXPECT_EQ(CallWithinDeadline(CDeadline(vt::kWineWaitMs), limit, [] { return std::string("reply"); }),
              std::string("reply"));
    EXPECT_FALSE(CallWithinDeadline(CDeadline(vt::kWineWaitMs), limit, []() -> int { throw std::bad_alloc(); }));

    HANDLE ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const CDeadline deadline(50);
    EXPECT_FALSE(CallWithinDeadline(deadline, limit, [ended] {
        Sleep(300);
        SetEvent(ended);
        return std::string(1 << 20, 'x');
    }));
    EXPECT_TRUE(deadline.HasPassed());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ended, 0));  // not waited for
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ended, vt::kWineWaitMs));  // ended late, and nothing broke
    CloseHandle(ended);
}

namespace {
HANDLE g_pausing = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // a worker is in its pause
HANDLE g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // a held pause may go on
const std::string kStillRunning = "download still running at exit, not waited for: agent:";

class StoppingDownloads : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Both events serve every test of the process: a pause seen by an earlier test is not this one's.
        ResetEvent(g_pausing);
        ResetEvent(g_release);
        LogInit(logPath.c_str());
    }
    void TearDown() override { CDownloadManager::settings = CDownloadSettings(); }

    vt::TempDir dir{"stop"};
    const std::string logPath = dir / "log.log";
    // A server that breaks the body off, so that the worker pauses before a retry.
    vt::RawListener breaking;
    const std::string breakingReply = kHead + vt::Letters(10);
};
}  // namespace

// Every phase of a transfer notices the stop at once: connecting, header lines, body bytes
// and the 2 s pause before a retry.  What the workers use is left alone when the stop does
// not return, so that nothing is freed under a running worker.
TEST_F(StoppingDownloads, EveryPhaseEndsWithinTheExitLimit)
{
    CDownloadManager::settings.pauseSlice = [](DWORD milliseconds) { SetEvent(g_pausing), Sleep(milliseconds); };
    auto* full = new vt::FullListener;
    auto* tricklers = new vt::RawListener[2];
    ASSERT_TRUE(full->Start() && tricklers[0].StartTrickling(kReply, kTricklers[0].atOnce) &&
                tricklers[1].StartTrickling(kReply, kTricklers[1].atOnce) &&
                breaking.Start(vt::RawListener::Mode::Reply, breakingReply));
    const struct {
        const char* name;
        std::string url;
        int lastStatus;
        std::function<bool(const CDownloadProgress&)> reached;
    } phases[] = {
        {"connecting", full->Url("/pkg"), 0, [](const CDownloadProgress&) { return true; }},
        {"header lines", tricklers[0].Url("/pkg"), 0,
         [tricklers](const CDownloadProgress&) { return !tricklers[0].Received().empty(); }},
        {"body bytes", tricklers[1].Url("/pkg"), 200, [](const CDownloadProgress& p) { return p.total == 64; }},
        {"pause", breaking.Url("/pkg"), 200,
         [](const CDownloadProgress&) { return WaitForSingleObject(g_pausing, 0) == WAIT_OBJECT_0; }},
    };
    auto* records = new CDownloadProgress[4];
    auto* manager = new CDownloadManager;
    for (int i = 0; i < 4; ++i) {
        records[i].Reset(dir / phases[i].name);
        manager->StartDownloadThread(phases[i].name, phases[i].url.c_str(), &records[i]);
    }
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(vt::WaitUntil([&] { return phases[i].reached(records[i]); }, vt::kWineWaitMs)) << phases[i].name;
    Sleep(200);  // the connect and the reads are under way

    ASSERT_TRUE(vt::RunWithin([manager] { manager->StopAllDownloads(); }, 2 * CDownloadSettings::kStopWaitMs));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ("http response failed, isrun:0, res:NULL, status: " + std::to_string(phases[i].lastStatus) +
                      ", url: " + phases[i].url,
                  records[i].done ? records[i].errorText : "not done");
    EXPECT_TRUE(manager->tasks.empty());
    EXPECT_FALSE(vt::LogHasInOrder(logPath, {kStillRunning}));
    delete manager;
    delete[] records;
    delete[] tricklers;
    delete full;
}

// A worker that does not end (here held in its pause) does not hold the exit: the wait
// ends at its limit (shortened from the launcher's 3 s) and names the download, whose task
// stays for the worker to end on.
TEST_F(StoppingDownloads, TheWaitAtExitEndsAtItsLimitAndNamesWhatStillRuns)
{
    CDownloadManager::settings.pauseSlice = [](DWORD) {
        SetEvent(g_pausing);
        WaitForSingleObject(g_release, vt::kWineWaitMs);
    };
    CDownloadManager::settings.stopWaitMs = 500;
    ASSERT_TRUE(breaking.Start(vt::RawListener::Mode::Reply, breakingReply));
    auto* progress = new CDownloadProgress;
    progress->Reset(dir / "pkg");
    auto* manager = new CDownloadManager;
    manager->StartDownloadThread("held", breaking.Url("/pkg").c_str(), progress);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_pausing, vt::kWineWaitMs));
    CDownloadTask* task = manager->tasks[0];

    ASSERT_TRUE(vt::RunWithin([manager] { manager->StopAllDownloads(); }, 2 * CDownloadManager::settings.stopWaitMs));
    EXPECT_TRUE(manager->tasks.empty() && progress->done == 0);
    EXPECT_TRUE(vt::Contains(vt::LogMessages(logPath), kStillRunning + "held, url: " + breaking.Url("/pkg")));
    SetEvent(g_release);
    ASSERT_TRUE(vt::WaitUntil([task] { return task->finished == 1; }, vt::kWineWaitMs));
    EXPECT_EQ(1, progress->done);
    CloseHandle(task->thread);
    delete task;
    delete manager;
    delete progress;
}
