// The content dialogs' browsers: the page-jump rule in both strategies, the page shown
// by the first real document, new windows, the start page, and the simple window's hidden
// browser.  Events are raised through the real control's connection point.
#include "tests/support/test_server.h"
#include "tests/support/browser_events.h"

#include <gtest/gtest.h>

#include <mutex>

#include "app/config.h"
#include "app/log.h"
#include "app/vorlan_app.h"
#include "res/resource.h"
#include "tests/support/test_support.h"
#include "ui/controllers_dlg.h"
#include "ui/doc_host_ui_handler.h"
#include "ui/simple_ctn_dlg.h"

namespace {

std::vector<std::string> g_opened;  // addresses handed to the system's browser

void Configure(std::initializer_list<std::string> lines)
{
    for (const std::string& line : lines)
        CConfig::GetInstance()->ParseLine(line.c_str());
}

class ContentBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnableControlContainer();
        LogInit(m_logPath.c_str());
        m_app.isQuitting = 1;  // OpenGameWindow logs its call and starts nothing
        g_opened.clear();
        g_pfnOpenWebAddress = [](const char* url) { g_opened.push_back(url); };
        m_server.server().set_keep_alive_max_count(1);
        m_server.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(req.target);
            const std::string location = req.path == "/go"      ? "/enter?jumpme"
                                         : req.path == "/enter" ? "/game?a=1&b=2"
                                                                : "";
            if (!location.empty())
                res.status = 302, res.set_header("Location", location);
        });
        ASSERT_TRUE(m_server.Start());
        Configure({"jump=jumpme", "stratergy=", "startJump=", "page=" + m_server.Url("/start")});
    }
    void TearDown() override { Configure({"jump=", "stratergy=", "startJump=", "page="}); }
    // The game parameters of every OpenGameWindow call so far.
    std::vector<std::string> GamesOpened()
    {
        std::vector<std::string> games;
        const std::string prefix = "OpenGameWindow, szTitle = , szUrl = ";
        for (const std::string& line : vt::LogMessages(m_logPath))
            if (line.compare(0, prefix.size(), prefix) == 0)
                games.push_back(line.substr(prefix.size()));
        return games;
    }
    bool Requested(const std::string& target)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::count(m_requests.begin(), m_requests.end(), target) != 0;
    }

    vt::TempDir m_dir{"contentbrowser"};
    const std::string m_logPath = m_dir / "log.log";
    CVorlanClientApp m_app;
    vt::TestServer m_server;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

TEST_F(ContentBrowser, PageJumpRuleOpensTheGameInsteadOfTheNavigation)
{
    CControllersDlg page;
    ASSERT_TRUE(page.Create(IDD_CONTROLLERS));
    IUnknown* control = page.m_browser.GetControlUnknown();
    const DISPID before2 = DISPID_BROWSER_BEFORENAVIGATE2, complete2 = DISPID_BROWSER_NAVIGATECOMPLETE2;
    const struct {
        const char* strategy;
        const char* startJump;
        DISPID event;
        std::string url;
        const char* game;  // "": no game opened
        bool cancelled;
    } cases[] = {
        {"", "", before2, "http://h/p?jumpme&a=1?b=2", "jumpme&a=1?b=2", true},
        {"", "", before2, "http://h/jumpme", "http://h/jumpme", true},
        {"", "", before2, "http://h/p?x=1", "", false},
        {"", "", complete2, "http://h/q?jumpme&k=v", "jumpme&k=v", false},
        {"redirect", "/go", before2, m_server.Url("/go"), "a=1&b=2", true},
        {"redirect", "", before2, m_server.Url("/enter?jumpme"), "a=1&b=2", true},
        {"redirect", "/go", before2, "http://h/p?jumpme", "", false},  // no start text: left to complete
        {"redirect", "/go", complete2, "http://h/p?jumpme", "jumpme", false},
        {"redirect", "/start", before2, m_server.Url("/start"), "", false},  // the chain finds no Location
        {"Redirect", "/go", before2, "http://h/p?jumpme", "jumpme", true},   // not exactly "redirect": plain
    };
    for (const auto& c : cases) {
        Configure({std::string("stratergy=") + c.strategy, std::string("startJump=") + c.startJump});
        auto games = GamesOpened();
        if (*c.game)
            games.push_back(c.game);
        vt::CancelFlag cancel;
        EXPECT_EQ(1, c.event == complete2 ? vt::FireUrlEvent(control, c.event, c.url)
                                          : vt::FireBeforeNavigate2(control, c.url, cancel));
        EXPECT_EQ(games, GamesOpened()) << c.url;
        EXPECT_EQ(c.cancelled ? VARIANT_TRUE : VARIANT_FALSE, cancel.value) << c.url;
        EXPECT_EQ(0x2A2A, cancel.guard) << c.url;  // written as the control's 16-bit VARIANT_BOOL
    }
    page.DestroyWindow();
}

TEST_F(ContentBrowser, OnlyARealDocumentShowsThePageAndNewWindowsLeaveForTheSystem)
{
    CControllersDlg page;
    ASSERT_TRUE(page.Create(IDD_CONTROLLERS));
    IUnknown* control = page.m_browser.GetControlUnknown();
    auto shown = [&] { return (GetWindowLongA(page.m_browser, GWL_STYLE) & WS_VISIBLE) != 0; };
    const struct {
        const char* url;
        bool shown;
    } documents[] = {{"about:blank", false}, {"http://h/frame.html", true}, {"about:blank", true}};
    for (const auto& d : documents) {
        vt::FireUrlEvent(control, DISPID_BROWSER_DOCUMENTCOMPLETE, d.url);
        EXPECT_EQ(d.shown, shown()) << d.url;
    }

    const char* const newWindows[] = {
        "http://h/a", "HTTPS://h/b",        "file:///c:/windows/notepad.exe", "\\\\host\\share\\x.exe",
        "c:\\x.bat",  "javascript:alert(1)"};
    for (const char* url : newWindows) {
        vt::CancelFlag cancel;
        vt::FireNewWindow3(control, url, cancel);
        EXPECT_EQ(VARIANT_TRUE, cancel.value) << url;  // never a second browser window
    }
    EXPECT_EQ((std::vector<std::string>{"http://h/a", "HTTPS://h/b"}), g_opened);
    EXPECT_TRUE(vt::Contains(vt::LogMessages(m_logPath), "新窗口的地址不是网页，不打开：c:\\x.bat"));

    // Without an HTML engine there is never a document: no handler, the page loads anyway.
    m_app.ParseCommandLine("2144game --token=T1");
    page.Start();
    EXPECT_EQ(nullptr, g_pDocHostUIHandler);
    EXPECT_TRUE(vt::PumpUntil([&] { return Requested("/start?token=T1&source="); }, 10000));
    page.DestroyWindow();
}

TEST_F(ContentBrowser, TheSimpleWindowsHiddenBrowserOpensTheGameWhenANavigationCompletes)
{
    CSimpleCtnDlg simple;
    ASSERT_TRUE(simple.Create(IDD_SIMPLE_CONTENT));
    simple.Navigate(m_server.Url("/simple").c_str());
    EXPECT_TRUE(vt::PumpUntil([&] { return Requested("/simple"); }, 10000));
    EXPECT_FALSE(simple.m_browser.IsWindowVisible());

    IUnknown* control = simple.m_browser.GetControlUnknown();
    vt::FireUrlEvent(control, DISPID_BROWSER_NAVIGATECOMPLETE2, "http://h/p?x=1");
    vt::FireUrlEvent(control, DISPID_BROWSER_NAVIGATECOMPLETE2, "http://h/p?jumpme&a=1&b=2");
    EXPECT_EQ(std::vector<std::string>{"jumpme&a=1&b=2"}, GamesOpened());
    const auto lines = vt::LogMessages(m_logPath);
    EXPECT_TRUE(vt::Contains(lines, "导航到页面：" + m_server.Url("/simple")));
    EXPECT_TRUE(vt::Contains(lines, "页面跳转完成: http://h/p?x=1"));
    simple.DestroyWindow();
}

}  // namespace
