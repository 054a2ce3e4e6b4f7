// The main window and its content dialog as real windows: made in this process the
// way start-up makes them, and through the real launcher exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "app/config.h"
#include "app/log.h"
#include "app/vorlan_app.h"
#include "net/http_client.h"
#include "res/resource.h"
#include "tests/support/test_support.h"
#include "ui/controllers_dlg.h"
#include "ui/main_dialog.h"

namespace {
// Runs this thread's messages for a while, the way the modal loop does.
void Pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            if (!AfxPreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

bool QuitWasPosted()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

RECT WindowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// A control's rectangle in its dialog's client coordinates.
RECT ControlRect(HWND dialog, int id)
{
    RECT rect = WindowRect(GetDlgItem(dialog, id));
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void ExpectRect(const RECT& rect, int left, int top, int width, int height, const char* what)
{
    EXPECT_EQ(rect.left, left) << what;
    EXPECT_EQ(rect.top, top) << what;
    EXPECT_EQ(rect.right - rect.left, width) << what;
    EXPECT_EQ(rect.bottom - rect.top, height) << what;
}

void ExpectSameRect(HWND a, HWND b)
{
    RECT ra = WindowRect(a), rb = WindowRect(b);
    EXPECT_TRUE(EqualRect(&ra, &rb)) << ra.left << "," << ra.top << " " << ra.right << "," << ra.bottom << " vs "
                                     << rb.left << "," << rb.top << " " << rb.right << "," << rb.bottom;
}

// Waits for a popup menu, records its first item's text and chooses that item.
DWORD WINAPI ChooseFirstMenuItem(void* itemText)
{
    for (int i = 0; i < 200; ++i) {
        HWND menu = FindWindowA("#32768", nullptr);
        if (menu && IsWindowVisible(menu)) {
            HMENU items = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
            char text[32] = {};
            GetMenuStringA(items, 0, text, sizeof(text), MF_BYPOSITION);
            *static_cast<std::string*>(itemText) = text;
            PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
            return 0;
        }
        Sleep(25);
    }
    return 1;
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
    bool Visible(int id) const { return IsWindowVisible(GetDlgItem(content, id)) != 0; }

    vt::TempDir dir{"shell"};
    CVorlanClientApp app;
    HWND main = nullptr;
    HWND content = nullptr;
};
}  // namespace

TEST(MainWindowTest, PremultipliesEveryPixelByItsAlpha)
{
    struct Case {
        BYTE in[4];  // blue, green, red, alpha
        BYTE out[4];
    };
    const Case cases[] = {{{200, 100, 50, 0}, {0, 0, 0, 0}},
                          {{200, 100, 50, 255}, {200, 100, 50, 255}},
                          {{255, 255, 255, 128}, {128, 128, 128, 128}},
                          {{10, 200, 99, 127}, {4, 99, 49, 127}}};
    // Two rows of two pixels with a padded pitch: every pixel, and only pixels, change.
    BYTE image[2 * 12] = {};
    for (int i = 0; i < 4; ++i)
        memcpy(image + (i / 2) * 12 + (i % 2) * 4, cases[i].in, 4);
    memset(image + 8, 0xEE, 4);
    memset(image + 20, 0xEE, 4);
    PremultiplyAlpha(image, 2, 2, 12);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(memcmp(image + (i / 2) * 12 + (i % 2) * 4, cases[i].out, 4), 0) << i;
    EXPECT_EQ(image[8], 0xEE);
    EXPECT_EQ(image[23], 0xEE);
}

TEST(MainWindowTest, PageModeLaysTheContentOverThePicture)
{
    ShellWindow shell(false, false);
    ExpectRect(WindowRect(shell.main), WindowRect(shell.main).left, WindowRect(shell.main).top, 1105, 651, "main");
    EXPECT_TRUE(GetWindowLongA(shell.main, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(GetWindowLongA(shell.content, GWL_EXSTYLE) & WS_EX_LAYERED);
    ExpectSameRect(shell.main, shell.content);
    EXPECT_TRUE(IsWindowVisible(shell.content));

    ExpectRect(ControlRect(shell.content, IDC_BTN_CLOSE), 924, 133, 43, 43, "close");
    ExpectRect(ControlRect(shell.content, IDC_BTN_MINIMIZE), 924, 178, 43, 43, "minimise");
    ExpectRect(ControlRect(shell.content, IDC_PROGRESS), 176, 620, 800, 6, "bar");
    ExpectRect(ControlRect(shell.content, IDC_LBL_CHECK), 176, 600, 800, 20, "checking text");
    EXPECT_FALSE(shell.Visible(IDC_PROGRESS) || shell.Visible(IDC_LBL_LOAD) || shell.Visible(IDC_LBL_CHECK));

    IContentDlg* content = g_pMainDlg->m_pContent;
    content->ShowProgressUI(SW_SHOW, SW_HIDE, SW_SHOW, SW_HIDE);
    EXPECT_TRUE(shell.Visible(IDC_PROGRESS) && shell.Visible(IDC_LBL_LOAD) && !shell.Visible(IDC_LBL_CHECK));
    content->ShowProgressUI(SW_SHOW, SW_SHOW, SW_HIDE, SW_SHOW);
    EXPECT_TRUE(shell.Visible(IDC_LBL_CHECK) && !shell.Visible(IDC_LBL_LOAD));
    UpdateContentProgress("", "", 37);
    EXPECT_EQ(SendDlgItemMessageA(shell.content, IDC_PROGRESS, PBM_GETPOS, 0, 0), 37);

    // The content follows the window when it moves.
    SetWindowPos(shell.main, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump(50);
    ExpectSameRect(shell.main, shell.content);
}

TEST(MainWindowTest, SimpleModeShowsTheSmallWindowWithOneText)
{
    ShellWindow shell(true, false);
    ExpectRect(WindowRect(shell.main), WindowRect(shell.main).left, WindowRect(shell.main).top, 462, 136, "main");
    ExpectSameRect(shell.main, shell.content);
    ExpectRect(ControlRect(shell.content, IDC_PROGRESS), 50, 105, 345, 6, "bar");
    ExpectRect(ControlRect(shell.content, IDC_LBL_START), 62, 85, 333, 20, "starting text");
    EXPECT_TRUE(shell.Visible(IDC_PROGRESS) && shell.Visible(IDC_LBL_CHECK));
    EXPECT_FALSE(shell.Visible(IDC_LBL_LOAD) || shell.Visible(IDC_LBL_START));
    char text[64] = {};
    GetDlgItemTextA(shell.content, IDC_LBL_CHECK, text, sizeof(text));
    EXPECT_STREQ(text, "正在检查更新，请稍候...");

    g_pMainDlg->m_pContent->ShowProgressUI(SW_SHOW, SW_HIDE, SW_SHOW, SW_HIDE);
    EXPECT_TRUE(shell.Visible(IDC_LBL_LOAD) && !shell.Visible(IDC_LBL_CHECK));
    NavigateContent("http://127.0.0.1:1/simple?a=1");
    EXPECT_TRUE(vt::Contains(shell.Messages(), "导航到页面：http://127.0.0.1:1/simple?a=1"));
}

TEST(MainWindowTest, HideModeStaysInvisibleUntilTheTrayRestoresIt)
{
    ShellWindow shell(false, true);
    ExpectSameRect(shell.main, shell.content);
    // The modal loop's first showing is refused too.
    ShowWindow(shell.main, SW_SHOWNORMAL);
    Pump(50);
    EXPECT_FALSE(IsWindowVisible(shell.main));
    EXPECT_FALSE(IsWindowVisible(shell.content));

    // Another icon's notification changes nothing.
    EXPECT_EQ(SendMessageA(shell.main, WM_TRAY_NOTIFY, 8, WM_LBUTTONDBLCLK), 1);
    EXPECT_FALSE(IsWindowVisible(shell.main));

    EXPECT_EQ(SendMessageA(shell.main, WM_TRAY_NOTIFY, kTrayIconId, WM_LBUTTONDBLCLK), 0);
    EXPECT_TRUE(IsWindowVisible(shell.main));
    EXPECT_TRUE(IsWindowVisible(shell.content));
    EXPECT_EQ(g_bHide, 0);
    EXPECT_TRUE(vt::Contains(shell.Messages(), "重置页面：http://127.0.0.1:1/start"));
}

TEST(MainWindowTest, OnlyAnInstalledGameLetsTheUserQuit)
{
    ShellWindow shell(false, false);
    // Escape and Enter never end the window, not even once the game is installed.
    shell.app.isGameInstalled = 1;
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        SetFocus(shell.main);
        PostMessageA(shell.main, WM_KEYDOWN, key, 0);
        Pump(50);
        EXPECT_FALSE(QuitWasPosted()) << key;
        EXPECT_TRUE(IsWindowVisible(shell.main)) << key;
    }

    // Cancel, the content's close request and its close button: nothing before installation.
    shell.app.isGameInstalled = 0;
    SendMessageA(shell.main, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(shell.content, WM_CLOSE, 0, 0);
    SendMessageA(shell.content, WM_COMMAND, MAKEWPARAM(IDC_BTN_CLOSE, BN_CLICKED), 0);
    EXPECT_FALSE(QuitWasPosted());
    EXPECT_TRUE(IsWindowVisible(shell.content));

    shell.app.isGameInstalled = 1;
    SendMessageA(shell.content, WM_CLOSE, 0, 0);
    EXPECT_TRUE(QuitWasPosted());
    EXPECT_TRUE(IsWindowVisible(shell.content));
    SendMessageA(shell.content, WM_COMMAND, MAKEWPARAM(IDC_BTN_CLOSE, BN_CLICKED), 0);
    EXPECT_TRUE(QuitWasPosted());
    SendMessageA(shell.main, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(QuitWasPosted());
    EXPECT_TRUE(vt::Contains(shell.Messages(), "退出进程"));
}

TEST(MainWindowTest, TheTrayMenuOffersExitAsCancel)
{
    ShellWindow shell(false, false);
    shell.app.isGameInstalled = 1;
    // The menu runs its own loop on this thread: a helper thread finds it and chooses its item.
    std::string itemText;
    HANDLE chooser = CreateThread(nullptr, 0, ChooseFirstMenuItem, &itemText, 0, nullptr);
    SendMessageA(shell.main, WM_TRAY_NOTIFY, kTrayIconId, WM_RBUTTONUP);
    Pump(200);
    WaitForSingleObject(chooser, 10000);
    CloseHandle(chooser);
    EXPECT_EQ(itemText, "退出");
    EXPECT_TRUE(QuitWasPosted());
}

TEST(MainWindowTest, DestroyingTheWindowEndsOnlyThisRunsGame)
{
    vt::TempDir spare{"game"};
    vt::CopyFileTo(vt::LauncherExe(), spare / "game.exe");
    {
        ShellWindow shell(false, false);
        shell.app.EndGameProcess();  // no game yet: nothing, not even a line
        for (const std::string& m : shell.Messages())
            EXPECT_EQ(m.find("关闭unity进程"), std::string::npos) << m;

        // A game that has already ended cannot be ended: the failure line with the error code.
        STARTUPINFOA quick{};
        quick.cb = sizeof(quick);
        PROCESS_INFORMATION ended{};
        char exitAtOnce[] = "cmd.exe /c exit 0";
        ASSERT_TRUE(CreateProcessA(nullptr, exitAtOnce, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &quick, &ended));
        CloseHandle(ended.hThread);
        ASSERT_EQ(WaitForSingleObject(ended.hProcess, 10000), WAIT_OBJECT_0);
        shell.app.unityPid = ended.dwProcessId;
        shell.app.unityProcess = ended.hProcess;
        shell.app.EndGameProcess();
        EXPECT_EQ(shell.Messages().back().rfind("关闭unity进程失败，LastError：", 0), 0u) << shell.Messages().back();

        // A stand-in game: the launcher without a platform waits on its refusal box.
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION game{};
        std::string commandLine = "\"" + (spare / "game.exe") + "\"";
        ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   spare.path().c_str(), &startup, &game));
        CloseHandle(game.hThread);
        shell.app.unityPid = game.dwProcessId;
        HANDLE watcher = nullptr;
        DuplicateHandle(GetCurrentProcess(), game.hProcess, GetCurrentProcess(), &watcher, SYNCHRONIZE, FALSE, 0);
        shell.app.unityProcess = game.hProcess;
        g_pMainDlg->DestroyWindow();
        EXPECT_EQ(WaitForSingleObject(watcher, 10000), WAIT_OBJECT_0);
        CloseHandle(watcher);
        EXPECT_TRUE(vt::Contains(shell.Messages(), "关闭unity进程成功，进程id：" + std::to_string(game.dwProcessId)));
    }
}

TEST(MainWindowTest, TheRealLauncherShowsItsWindowsOrHidesThem)
{
    vt::TempDir folder{"exe"};
    vt::CopyFileTo(vt::LauncherExe(), folder / "VorlanClient.exe");
    vt::WriteFileBytes(folder / "qxconfig.ini", "pkgName=qxgame\r\n");
    struct Case {
        const char* tail;
        int width, height;
        bool visible;
    };
    for (const Case& c : {Case{"360", 1105, 651, true}, Case{"simplemode=360", 462, 136, true},
                          Case{"360 hide", 1105, 651, false}}) {
        vt::Process launcher;
        ASSERT_TRUE(launcher.Start(folder / "VorlanClient.exe", c.tail, folder.path()));
        HWND main = nullptr;
        for (int i = 0; i < 300 && !main; ++i, Sleep(50))
            main = vt::FindMainWindow(launcher.pid());
        ASSERT_NE(main, nullptr) << c.tail;
        Sleep(300);
        RECT rect = WindowRect(main);
        EXPECT_EQ(rect.right - rect.left, c.width) << c.tail;
        EXPECT_EQ(rect.bottom - rect.top, c.height) << c.tail;
        EXPECT_EQ(IsWindowVisible(main) != 0, c.visible) << c.tail;
        int visibleWindows = 0;
        for (HWND window : vt::TopLevelWindows(launcher.pid()))
            visibleWindows += IsWindowVisible(window) && (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
        EXPECT_EQ(visibleWindows, c.visible ? 2 : 0) << c.tail;
        if (!c.visible) {
            // The tray's double-click brings both back.
            SendMessageA(main, WM_TRAY_NOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
            EXPECT_TRUE(IsWindowVisible(main));
        }
        launcher.PostQuit();
        EXPECT_EQ(launcher.Wait(20000), 0) << c.tail;
    }
}
