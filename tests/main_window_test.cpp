// The main window and its content dialog as real windows, made in this process the way
// start-up makes them and through the real launcher exe; the end of a run and the lobby's
// WM_COPYDATA messages, received by a real window of the test.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "app/config.h"
#include "app/lobby_message.h"
#include "base/log.h"
#include "app/vorlan_app.h"
#include "net/http_client.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

namespace {
// "left,top widthxheight" of a window, or of one of its controls in its client coordinates.
std::string Box(HWND window, int control = 0)
{
    RECT r{};
    GetWindowRect(control ? GetDlgItem(window, control) : window, &r);
    if (control)
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

// The main window made as start-up makes it, with the platform 360 and the modes given.
class ShellWindow {
public:
    ShellWindow(bool simple, bool hide)
    {
        CConfig::GetInstance()->SetExeDir(dir.path().c_str());
        vt::WriteFileBytes(dir / "qxconfig.ini", "page=http://127.0.0.1:1/start\r\npkgName=qxgame\r\n");
        CConfig::GetInstance()->Load("qxconfig.ini");
        LogInit((dir / "log.log").c_str());
        app.ParseCommandLine(hide ? "360 hide" : "360");
        g_pHttpClient = new CHttpClient();
        g_bSimpleMode = simple;
        g_bHide = hide;
        g_pMainDlg = new CVorlanClientDlg(nullptr);
        g_pMainDlg->Create(IDD_VORLANCLIENT_DIALOG);
        main = g_pMainDlg->m_hWnd;
        content = g_pMainDlg->m_pContentDlg->m_hWnd;
    }
    ~ShellWindow() { g_pMainDlg->DestroyWindow(); }
    std::vector<std::string> Messages() const { return vt::LogMessages(dir / "log.log"); }
    std::string Shown() const
    {
        std::string shown;
        for (auto control :
             {std::make_pair(IDC_PROGRESS, 'P'), {IDC_LBL_CHECK, 'C'}, {IDC_LBL_LOAD, 'L'}, {IDC_LBL_START, 'S'}})
            if (IsWindowVisible(GetDlgItem(content, control.first)))
                shown += control.second;
        return shown;
    }

    vt::TempDir dir{"shell"};
    CVorlanClientApp app;
    HWND main = nullptr, content = nullptr;
};

BOOL CALLBACK KeepVisibleMenu(HWND window, LPARAM found)
{
    char name[16] = {};
    if (!IsWindowVisible(window) || !GetClassNameA(window, name, sizeof(name)) || std::string(name) != "#32768")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The menu window that thread has on screen, or null.  Only that thread's own: ctest runs
// other test processes beside this one, and their menus are no business of this test.
HWND VisibleMenuOf(DWORD thread)
{
    HWND found = nullptr;
    EnumThreadWindows(thread, KeepVisibleMenu, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What the test's lobby window received by WM_COPYDATA.
struct Received {
    WPARAM from;
    ULONG_PTR dwData;
    DWORD cbData;
    LobbyCopyData record;
};
std::vector<Received> g_received;

LRESULT CALLBACK LobbyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA)
        return DefWindowProcA(window, message, wParam, lParam);
    const auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
    g_received.push_back({wParam, data->dwData, data->cbData, {}});
    memcpy(&g_received.back().record, data->lpData, std::min<DWORD>(data->cbData, sizeof(LobbyCopyData)));
    return TRUE;
}
}  // namespace

TEST(MainWindowTest, PremultipliesEveryPixelByItsAlpha)
{
    // Two rows of two pixels (blue, green, red, alpha) and a padded pitch: only pixels change.
    std::vector<BYTE> image = {200, 100, 50,  0,   200, 100, 50, 255, 0xEE, 0xEE, 0xEE, 0xEE,
                               255, 255, 255, 128, 10,  200, 99, 127, 0xEE, 0xEE, 0xEE, 0xEE};
    PremultiplyAlpha(image.data(), 2, 2, 12);
    EXPECT_EQ(image, (std::vector<BYTE>{0,   0,   0,   0,   200, 100, 50, 255, 0xEE, 0xEE, 0xEE, 0xEE,
                                        128, 128, 128, 128, 4,   99,  49, 127, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(MainWindowTest, BothModesLayTheContentOverThePicture)
{
    const char* checking = "正在检查更新，请稍候...";  // code page 936, as the program reads it
    const struct {
        bool simple;
        int id;
        const char *box, *text;
    } controls[] = {
        {false, IDC_BTN_CLOSE, "924,133 43x43", ""},
        {false, IDC_BTN_MINIMIZE, "924,178 43x43", ""},
        {false, IDC_PROGRESS, "176,620 800x6", ""},
        {false, IDC_LBL_CHECK, "176,600 800x20", checking},
        {false, IDC_LBL_LOAD, "176,600 800x20", "正在加载游戏，请稍候..."},
        {true, IDC_PROGRESS, "50,105 345x6", ""},
        {true, IDC_LBL_START, "62,85 333x20", "正在启动游戏，精彩马上开始..."},
        {true, IDC_LBL_CHECK, "62,85 333x20", checking},
        {true, IDC_LBL_LOAD, "62,85 333x20", "正在更新游戏，请勿关闭..."},
    };
    for (bool simple : {false, true}) {
        g_bContentCreated = 0;
        ShellWindow shell(simple, false);
        EXPECT_EQ(Box(shell.main), Box(shell.content));  // before the first move too
        SetWindowPos(shell.main, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        vt::PumpFor(50);
        EXPECT_EQ(Box(shell.main), simple ? "40,30 462x136" : "40,30 1105x651");
        EXPECT_EQ(Box(shell.content), Box(shell.main));
        EXPECT_TRUE(GetWindowLongA(shell.main, GWL_EXSTYLE) & GetWindowLongA(shell.content, GWL_EXSTYLE) &
                    WS_EX_LAYERED);
        EXPECT_TRUE(IsWindowVisible(shell.content));
        // The picture: a clear corner, a half-transparent glass header, an opaque body.
        CImage& picture = g_pMainDlg->m_imgBack;
        const auto alpha = [&](int x, int y) { return picture.GetBits()[y * picture.GetPitch() + x * 4 + 3]; };
        const int glass = simple ? alpha(200, 20) : alpha(500, 50), body = simple ? alpha(200, 95) : alpha(600, 300);
        EXPECT_TRUE(picture.HasAlpha() && alpha(0, 0) == 0 && glass > 60 && glass < 220 && body == 255);
        for (const auto& c : controls) {
            char text[64] = {};
            if (c.simple == simple && c.id != IDC_PROGRESS)
                GetDlgItemTextA(shell.content, c.id, text, sizeof(text));
            EXPECT_TRUE(c.simple != simple || (Box(shell.content, c.id) == c.box && text == std::string(c.text)))
                << c.id << " " << Box(shell.content, c.id);
        }
        EXPECT_EQ(shell.Shown(), simple ? "PC" : "");  // bar, texts: check, load, start
        g_pMainDlg->m_pContent->ShowProgressUI(SW_SHOW, SW_HIDE, SW_SHOW, SW_HIDE);
        EXPECT_EQ(shell.Shown(), "PL");
        g_pMainDlg->m_pContent->ShowProgressUI(SW_SHOW, SW_SHOW, SW_HIDE, SW_SHOW);
        EXPECT_EQ(shell.Shown(), simple ? "PCS" : "PC");
        UpdateContentProgress("", "", 37);
        EXPECT_EQ(SendDlgItemMessageA(shell.content, IDC_PROGRESS, PBM_GETPOS, 0, 0), 37);
        NavigateContent("http://127.0.0.1:1/simple?a=1");  // the page's browser takes no orders
        EXPECT_EQ(vt::Contains(shell.Messages(), "导航到页面：http://127.0.0.1:1/simple?a=1"), simple);
    }
}

TEST(MainWindowTest, OnlyAnInstalledGameLetsTheUserQuitAndTheTrayMenuOffersIt)
{
    ShellWindow shell(false, false);
    // Before installation the content's close request and close button do nothing (Cancel: end-to-end runs).
    SendMessageA(shell.content, WM_CLOSE, 0, 0);
    SendMessageA(shell.content, WM_COMMAND, MAKEWPARAM(IDC_BTN_CLOSE, BN_CLICKED), 0);
    EXPECT_FALSE(vt::QuitWasPosted());
    shell.app.isGameInstalled = 1;
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {  // never, not even once the game is installed
        SetFocus(shell.main);
        PostMessageA(shell.main, WM_KEYDOWN, key, 0);
        vt::PumpFor(50);
        EXPECT_FALSE(vt::QuitWasPosted()) << key;
    }
    SendMessageA(shell.content, WM_CLOSE, 0, 0);
    EXPECT_TRUE(vt::QuitWasPosted());
    SendMessageA(shell.content, WM_COMMAND, MAKEWPARAM(IDC_BTN_CLOSE, BN_CLICKED), 0);
    EXPECT_TRUE(vt::QuitWasPosted());
    EXPECT_TRUE(IsWindowVisible(shell.main) && IsWindowVisible(shell.content));  // the run's loop ends it

    // The tray menu runs its own loop on this thread: a helper finds it and chooses its item.
    shell.app.isQuitting = 0;  // a run that is ending offers no menu: this one starts again
    std::string itemText;
    const DWORD windowThread = GetCurrentThreadId();
    std::thread chooser([&] {
        const auto choose = [&] {
            HWND menu = VisibleMenuOf(windowThread);
            char text[32] = {};
            if (!menu ||
                GetMenuStringA(reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0)), 0, text, sizeof(text),
                               MF_BYPOSITION) <= 0)
                return false;
            itemText = text;
            PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
            return PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0) != 0;
        };
        if (!vt::WaitUntil(choose, vt::kWineWaitMs))
            PostMessageA(shell.main, WM_CANCELMODE, 0, 0);  // ends the menu's loop: the test fails at once
    });
    SendMessageA(shell.main, WM_TRAY_NOTIFY, kTrayIconId, WM_RBUTTONUP);
    vt::PumpFor(200);
    chooser.join();
    EXPECT_EQ(itemText, "退出");
    EXPECT_TRUE(vt::QuitWasPosted());
}

namespace {
CVorlanClientApp* g_quitter = nullptr;
bool g_quitWhileTheMenuShowed = false;

// A menu of this thread on screen.
bool MenuShows()
{
    return VisibleMenuOf(GetCurrentThreadId()) != nullptr;
}

// Right-clicks the tray icon of main.  A menu still open after timeoutMs is ended, so that
// the test fails instead of hanging: true when it had to be.
bool RightClickTrayOutlivedItsTime(HWND main, DWORD timeoutMs)
{
    std::atomic<bool> returned{false}, forced{false};
    std::thread watchdog([&] {
        if (!vt::WaitUntil([&] { return returned.load(); }, timeoutMs, [] { Sleep(20); })) {
            forced = true;
            PostMessageA(main, WM_CANCELMODE, 0, 0);
        }
    });
    SendMessageA(main, WM_TRAY_NOTIFY, kTrayIconId, WM_RBUTTONUP);
    returned = true;
    watchdog.join();
    return forced;
}

// A step of the run that quits (the game's "quit", a failed step), once the menu shows.
VOID CALLBACK QuitOnceTheMenuShows(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!g_quitter || !MenuShows())
        return;
    KillTimer(nullptr, timer);
    g_quitWhileTheMenuShowed = true;
    g_quitter->Quit();
}
}  // namespace

// The tray menu's loop takes every message of the thread, a quit message too: a Quit while
// it is open closes it, and the quit message is left for the run's loop.
TEST(MainWindowTest, AQuitWhileTheTrayMenuIsOpenClosesItAndEndsTheRun)
{
    ShellWindow shell(false, false);
    shell.app.isGameInstalled = 1;  // the menu is offered
    g_quitter = &shell.app;
    g_quitWhileTheMenuShowed = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, QuitOnceTheMenuShows);  // the menu's loop runs it
    const bool forced = RightClickTrayOutlivedItsTime(shell.main, 10000);
    KillTimer(nullptr, timer);
    g_quitter = nullptr;
    EXPECT_TRUE(g_quitWhileTheMenuShowed);
    EXPECT_FALSE(forced);
    EXPECT_TRUE(vt::QuitWasPosted());
    EXPECT_TRUE(vt::Contains(shell.Messages(), "退出进程"));
    // A right click that was queued before the quit opens no menu.
    EXPECT_FALSE(RightClickTrayOutlivedItsTime(shell.main, 3000));
    EXPECT_FALSE(vt::QuitWasPosted());
}

TEST(MainWindowTest, DestroyingTheWindowEndsOnlyThisRunsGame)
{
    vt::TempDir spare{"game"};
    vt::CopyFileTo(vt::ExeDir() + "\\VorlanClient.exe", spare / "game.exe");
    ShellWindow shell(false, false);
    const size_t lines = shell.Messages().size();
    shell.app.EndGameProcess();  // no game yet: nothing, not even a line
    EXPECT_EQ(lines, shell.Messages().size());
    auto start = [&](std::string line, DWORD& pid) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        EXPECT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, spare.path().c_str(),
                                   &startup, &started));
        CloseHandle(started.hThread);
        pid = started.dwProcessId;
        return started.hProcess;
    };
    // A game that has already ended cannot be ended: the failure line with the error code.
    shell.app.unityProcess = start("cmd.exe /c exit 0", shell.app.unityPid);
    ASSERT_EQ(WaitForSingleObject(shell.app.unityProcess, 10000), WAIT_OBJECT_0);
    shell.app.EndGameProcess();
    EXPECT_EQ(shell.Messages().back().rfind("关闭unity进程失败，LastError：", 0), 0u) << shell.Messages().back();

    // A stand-in game (the launcher without a platform waits on its refusal box) ends with the window.
    shell.app.unityProcess = start("\"" + (spare / "game.exe") + "\"", shell.app.unityPid);
    HANDLE watcher = nullptr;
    DuplicateHandle(GetCurrentProcess(), shell.app.unityProcess, GetCurrentProcess(), &watcher, PROCESS_ALL_ACCESS,
                    FALSE, 0);
    g_pMainDlg->DestroyWindow();
    EXPECT_EQ(WaitForSingleObject(watcher, 10000), WAIT_OBJECT_0);
    TerminateProcess(watcher, 1);  // a game the window failed to end goes too
    CloseHandle(watcher);
    EXPECT_TRUE(vt::Contains(shell.Messages(), "关闭unity进程成功，进程id：" + std::to_string(shell.app.unityPid)));
}

TEST(MainWindowTest, TheRealLauncherShowsItsWindowsOrHidesThem)
{
    vt::TempDir dir{"exe"};
    const vt::LauncherFolder folder(dir.path());
    for (const std::string tail : {"simplemode=360", "360 hide"}) {
        vt::Process launcher;
        ASSERT_TRUE(folder.Start(launcher, tail));
        auto visibleWindows = [&] {
            int visible = 0;
            for (HWND window : vt::TopLevelWindows(launcher.pid()))
                visible += IsWindowVisible(window) && (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
            return visible;
        };
        HWND main = nullptr;
        ASSERT_TRUE(
            vt::WaitUntil([&] { return (main = vt::FindMainWindow(launcher.pid())) != nullptr; }, vt::kWineWaitMs))
            << tail;
        // Both layered windows show, or neither until the tray's double-click (not another
        // icon's) brings them back with the start page reset.
        if (tail == "360 hide") {
            // A line after the content's start comes from the run's loop, which began by showing the
            // window.  Read seldom: the launcher drops a line that it finds the log open for.
            const auto looping = [&] { return vt::LogHasInOrder(folder / "log.log", {"重置页面：", ""}); };
            EXPECT_TRUE(vt::WaitUntil(looping, vt::kWineWaitMs, [] { Sleep(250); }));
            SendMessageA(main, WM_TRAY_NOTIFY, kTrayIconId + 1, WM_LBUTTONDBLCLK);
            EXPECT_EQ(visibleWindows(), 0);
            SendMessageA(main, WM_TRAY_NOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
        }
        EXPECT_TRUE(vt::WaitUntil([&] { return visibleWindows() == 2; }, vt::kWineWaitMs))
            << tail << " " << visibleWindows();
        EXPECT_EQ(vt::LogHasInOrder(folder / "log.log", {"重置页面：", "重置页面："}), tail == "360 hide");
        EXPECT_EQ(Box(main).substr(Box(main).find(' ') + 1), tail == "360 hide" ? "1105x651" : "462x136");
        launcher.PostQuit();
        EXPECT_EQ(launcher.Wait(20000), 0) << tail;
    }
}

TEST(LobbyTest, QuitAndLoginTellOnlyA2144LobbyNamedByItsWindow)
{
    HWND lobby = CreateWindowA("STATIC", "lobby", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(lobby, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LobbyProc));
    const std::string winid = std::to_string(reinterpret_cast<intptr_t>(lobby)), k511(511, 'k'), k512(512, 'k');
    const std::wstring none = L"-";  // nothing reaches the lobby
    const struct {
        std::string tail;
        const char* token;  // null: Quit
        std::wstring sent;  // the record's text
        std::string line;   // a line the log holds
    } cases[] = {
        {"2144 --winid=" + winid, nullptr, L"1", "通知2144游戏大厅游戏退出：" + winid},
        {"2144qq extra --winid=" + winid, nullptr, L"1", "通知2144游戏大厅游戏退出：" + winid},
        {"360 --winid=" + winid, nullptr, none, "退出进程"},
        {"x2144 --winid=" + winid, nullptr, none, "退出进程"},
        {"2144", nullptr, none, "退出进程"},
        {"2144 --winid=lobby", nullptr, none, "--winid不是窗口句柄，不通知大厅：lobby"},
        // Handles of no window: never a broadcast (0xFFFF) to every window.
        {"2144 --winid=65535", nullptr, none, "大厅窗口没有接收消息：65535"},
        {"2144 --winid=" + winid, "abc123", L"abc123", "2144 syncLogin, token: abc123, winid: " + winid},
        {"2144 --winid=" + winid, "中文a", L"\u4e2d\u6587a", "2144 syncLogin, token: 中文a, winid: " + winid},
        {"2144 --winid=" + winid, "", L"", "2144 syncLogin, token: , winid: " + winid},
        {"2144 --winid=" + winid, k511.c_str(), std::wstring(511, L'k'),
         "2144 syncLogin, token: " + k511 + ", winid: " + winid},
        // No room for the terminating zero.
        {"2144 --winid=" + winid, k512.c_str(), none, "2144 syncLogin, token too long, not sent: 512 bytes"},
        {"2144", "tok", none, "2144 syncLogin, token: tok, no winid"},
        {"2144 --winid=lobby", "tok", none, "--winid不是窗口句柄，不通知大厅：lobby"},
    };
    for (const auto& c : cases) {
        vt::TempDir dir{"lobby"};
        LogInit((dir / "log.log").c_str());
        CVorlanClientApp app;
        app.ParseCommandLine(c.tail.c_str());
        g_received.clear();
        const std::string text = c.token ? c.token : "1";
        c.token ? app.SyncLogin2144(c.token) : app.Quit();
        EXPECT_TRUE(vt::Contains(vt::LogMessages(dir / "log.log"), c.line)) << c.tail << " " << text;
        ASSERT_EQ(g_received.size(), c.sent == none ? 0u : 1u) << c.tail << " " << text;
        if (!c.token) {
            EXPECT_TRUE(vt::QuitWasPosted());
            app.Quit();  // a second quit in the run does it all again
            EXPECT_TRUE(vt::QuitWasPosted());
            EXPECT_EQ(g_received.size(), c.sent == none ? 0u : 2u);
        }
        if (c.sent == none)
            continue;
        const Received& got = g_received[0];
        EXPECT_TRUE(got.dwData == (c.token ? 2u : 1u) && got.cbData == 1032u && got.from == 0u);  // no main window here
        LobbyCopyData expected{c.token ? 2 : 1, {}, static_cast<int32_t>(text.size())};
        c.sent.copy(expected.text, c.sent.size());  // every unit after the text zero
        EXPECT_EQ(0, memcmp(&expected, &got.record, sizeof(expected))) << std::wstring(got.record.text).size();
    }
    DestroyWindow(lobby);

    HWND window = nullptr;
    EXPECT_TRUE(ParseLobbyWindow("  +42junk", window) && reinterpret_cast<intptr_t>(window) == 42);
    EXPECT_FALSE(ParseLobbyWindow("", window) || ParseLobbyWindow("-", window));
}

// A lobby whose thread takes no messages holds the launcher for a bounded time only.
TEST(LobbyTest, ALobbyThatDoesNotAnswerIsGivenUpOn)
{
    HWND lobby = CreateWindowA("STATIC", "hung", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    const std::string winid = std::to_string(reinterpret_cast<intptr_t>(lobby));
    vt::TempDir dir{"hung"};
    LogInit((dir / "log.log").c_str());
    CVorlanClientApp app;
    app.ParseCommandLine(("2144 --winid=" + winid).c_str());
    std::thread([&] { app.SyncLogin2144("tok"); }).join();  // this thread, the lobby's, waits meanwhile
    EXPECT_TRUE(vt::Contains(vt::LogMessages(dir / "log.log"), "大厅窗口没有接收消息：" + winid));
    DestroyWindow(lobby);
}
