// No server may hold the window for ever.  Each network call of the UI thread ends by its
// total limit, also against servers that trickle one byte every two seconds: a pace that
// restarts every per-read time-out.  Each call is waited for no longer than twice its limit.
#include "tests/support/raw_listener.h"

#include <gtest/gtest.h>

#include "base/log.h"
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
