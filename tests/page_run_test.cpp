// The real launcher under Wine with the real browser control: the start page that the
// server receives, and a start page whose address holds the jump text opening the game.
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <mutex>

#include "tests/support/test_support.h"

namespace {

TEST(PageRun, TheStartPageCarriesTheTokenAndAJumpAddressOpensTheGame)
{
    vt::TestServer server;
    std::mutex mutex;
    std::vector<std::string> requests;
    server.server().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(req.target);
        res.set_content("page", "text/html");
    });
    ASSERT_TRUE(server.Start());
    const struct {
        std::string tail;
        std::string page;
        std::string request;  // what the server must see, or ""
        std::string logLine;  // what the log must show, or ""
    } runs[] = {
        {"2144game --token=T1 --source=S1", "/start", "/start?token=T1&source=S1", ""},
        {"yy", "/play?qid=1&server=7", "", "OpenGameWindow, szTitle = , szUrl = qid=1&server=7"},
    };
    for (const auto& run : runs) {
        vt::TempDir dir("pagerun");
        vt::CopyFileTo(vt::LauncherExe(), dir / "VorlanClient.exe");
        vt::WriteFileBytes(dir / "qxconfig.ini",
                           "pfCfgName=%s.ini\r\njump=/play?\r\npage=" + server.Url(run.page) + "\r\n");
        const std::string platform = run.tail.substr(0, run.tail.find(' '));
        vt::WriteFileBytes(dir / (platform + ".ini"), "pkgName=qxgame\r\n");  // in place: the page starts at once
        requests.clear();
        vt::Process launcher;
        ASSERT_TRUE(launcher.Start(dir / "VorlanClient.exe", run.tail, dir.path()));
        auto seen = [&] {
            std::lock_guard<std::mutex> lock(mutex);
            if (!run.request.empty())
                return std::find(requests.begin(), requests.end(), run.request) != requests.end();
            return vt::Contains(vt::LogMessages(dir / "log.log"), run.logLine);
        };
        for (DWORD start = GetTickCount(); !seen() && GetTickCount() - start < 20000;)
            Sleep(100);
        EXPECT_TRUE(seen()) << run.tail;
        launcher.PostQuit();
        EXPECT_NE(-1, launcher.Wait(20000));
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(run.request.empty(), requests.empty()) << run.tail;  // the jump address is never loaded
    }
}

}  // namespace
