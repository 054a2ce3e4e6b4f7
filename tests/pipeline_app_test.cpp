// The pipeline's steps driven in the test process, without the main window: the test
// plays the download timer, the supervision timers, the clock and the user at a box.
#include "tests/support/raw_listener.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "app/config.h"
#include "base/log.h"
#include "app/vorlan_app.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/test_support.h"
#include "tests/support/test_zip.h"

namespace {
int g_now = 1000;
CVorlanClientApp* g_app = nullptr;
std::atomic<bool> g_asked{false};

// A page asking for the game again while a failure box is open.
void CALLBACK AskForTheGame(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    g_app->OpenGameWindow("", "qid=1");
    g_app->QueryMinVersion();
    g_asked = true;
}

// The lobby's window: counts the exits it is told of.
int g_lobbyExits = 0;
LRESULT CALLBACK CountExits(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_lobbyExits += message == WM_COPYDATA;
    return DefWindowProcA(window, message, wParam, lParam);
}

// The tray's exit, chosen while a box is open; then the box's OK.
void CALLBACK QuitAtABox(HWND, UINT, UINT_PTR id, DWORD)
{
    vt::MessageBoxSeen box;
    if (vt::WaitForMessageBox(GetCurrentProcessId(), box, 0))
        KillTimer(nullptr, id), g_app->Quit(), vt::PressOk(box);
}

// Answers a box that a step should not have shown, so that the step returns.
void CALLBACK AnswerAnyBox(HWND, UINT, UINT_PTR id, DWORD)
{
    vt::MessageBoxSeen box;
    if (vt::WaitForMessageBox(GetCurrentProcessId(), box, 0))
        KillTimer(nullptr, id), vt::PressOk(box);
}

class PipelineApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        CConfig::GetInstance()->SetExeDir(dir.path().c_str());
        LogInit((dir / "log.log").c_str());
        CDownloadManager::settings.maxRetries = 0;
        app.clockSeconds = [] { return g_now; };
        g_app = &app;
        Config("pkgName=qxgame");
        CreateDirectoryA((dir / "qxgame").c_str(), nullptr);
        CreateDirectoryA((dir / "qxgame\\qxgame_Data").c_str(), nullptr);
    }
    void Config(const std::string& line) { CConfig::GetInstance()->ParseLine(line.c_str()); }
    bool Logged(const std::vector<std::string>& texts) { return vt::LogHasInOrder(dir / "log.log", texts); }
    // Runs step, which shows a box, answers it with OK once ready() holds, gives "title|text".
    std::string AnswerBox(
        const std::function<void()>& step, const std::function<bool()>& ready = [] { return true; })
    {
        vt::MessageBoxSeen box;
        std::thread answer([&] {
            vt::WaitUntil(  // the text comes just after the box
                [&] { return vt::WaitForMessageBox(GetCurrentProcessId(), box, 10) && !box.text.empty() && ready(); },
                5000);
            vt::PressOk(box);
        });
        while (vt::QuitWasPosted()) {  // Quit's message to this thread would end the box at once
        }
        step();
        answer.join();
        return box.title + "|" + box.text;
    }

    vt::TempDir dir{"pipeapp"};
    vt::TestServer server;
    CVorlanClientApp app;
};

TEST_F(PipelineApp, AHeldDownloadWaitsAndACutShellConfigIsNeverRead)
{
    std::atomic<bool> requested{false}, release{false};
    server.server().Get("/yy.ini", [&](const httplib::Request&, httplib::Response& res) {
        requested = true;
        vt::WaitUntil([&] { return release.load(); }, 10000);
        res.set_content("pkgName=frompf\r\n", "text/plain");
    });
    vt::RawListener cut;  // 18 of the 100 bytes announced
    ASSERT_TRUE(server.Start() && cut.Start(vt::RawListener::Mode::Reply,
                                            "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n[game]\r\nminver=1\r\n"));
    Config("pfCfgName=%s.ini");
    Config("pfURL=" + server.Url("/%s?t=%d"));
    Config("shellcfgURL=" + cut.Url("/shellcfg.ini?t=%u"));
    vt::WriteFileBytes(dir / "shellcfg.ini", "[game]\r\nminver=7\r\n");
    vt::WriteFileBytes(dir / "pkg.ver", "7");
    CreateDirectoryA((dir / "frompf").c_str(), nullptr);
    vt::WriteFileBytes(dir / "frompf\\frompf.exe", "exe");
    app.platform = "yy";

    app.CheckPlatformConfig();
    vt::WaitUntil([&] { return requested.load(); },
                  vt::kWineWaitMs);  // the worker has logged its start: no lines collide
    app.QueryMinVersion();           // as a page asking for the game would
    EXPECT_EQ(app.savePath, (dir / "yy.ini.downloading").c_str());
    release = true;
    EXPECT_TRUE(vt::WaitUntil(
        [&] {
            app.OnDownloadTimer();
            return app.isGameInstalled != 0;
        },
        20000));
    EXPECT_EQ(vt::ReadFileBytes(dir / "shellcfg.ini"), "[game]\r\nminver=7\r\n");
    EXPECT_FALSE(vt::FileExists(dir / "shellcfg.ini.downloading"));
    EXPECT_TRUE(Logged({"平台配置文件下载中，游戏版本配置文件等它结束后再下载，task=0", "平台配置下载结束",
                        "T:5;queryminerrAGENT:", "在线获取最低版本为7"}));
}

// The clock, the process handle and the limits of a launch (the end-to-end runs show the rest).
TEST_F(PipelineApp, SupervisionOfALaunchedGame)
{
    Config("params=fg:log=none");
    ASSERT_TRUE(vt::CopyFileTo(vt::ExeDir() + "\\fakegame.exe", dir / "qxgame\\qxgame.exe"));
    vt::WriteFileBytes(dir / "pkg.ver", "3");
    vt::WriteFileBytes(dir / "shellcfg.ini", "[shell]\r\nuploadFlag=1\r\n");
    app.minver = 3;
    app.OpenGameWindow("", "qid=42");
    ASSERT_NE(app.unityProcess, nullptr);

    // This launch's log before the game's "ok": the logs go up at once.
    const std::string outputLog = dir / "qxgame\\qxgame_Data\\output_log.txt";
    vt::WriteFileBytes(outputLog, "fine\r\n");
    app.CheckUnityOutputLog();
    EXPECT_EQ(app.isLogUploaded, 1);
    EXPECT_TRUE(Logged({"unity启动正常", "上传日志："}));
    app.isLogUploaded = 0;
    // A log left by an earlier game counts as missing: the upload comes after 3000 s.
    vt::WriteFileBytes(outputLog, "old run\r\n");
    const FILETIME old = {0, 0x01D00000};
    HANDLE file = CreateFileA(outputLog.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
    g_now = 4000;
    app.CheckUnityOutputLog();
    EXPECT_EQ(app.isLogUploaded, 0);
    g_now = 4001;
    app.CheckUnityOutputLog();
    EXPECT_EQ(app.isLogUploaded, 1);
    // Simple mode ends the run once the game's process has ended.
    app.simpleMode = 1;
    app.PollUnityCommandFile();
    EXPECT_EQ(app.isQuitting, 0);
    TerminateProcess(app.unityProcess, 0);
    WaitForSingleObject(app.unityProcess, 5000);
    app.PollUnityCommandFile();
    EXPECT_EQ(app.isQuitting, 1);
    EXPECT_EQ(app.ActivateGameWindow(), 0);

    // A line too long for CreateProcessA: refused before the call, as a failed start.
    app.isQuitting = 0;
    Config("params=" + std::string(40000, 'x'));
    EXPECT_EQ(AnswerBox([&] { app.LaunchGame(); }),
              "错误提示|微端可能已损坏，请重新下载安装" + dir.path() + "\\qxgame\\qxgame.exe");
    EXPECT_TRUE(Logged({"游戏命令行过长：40", "T:41;unityerrAGENT:"}));
}

// Each tick reads a bounded share of the game's log, on from where the last one stopped: the
// failure line is found behind a line of many MiB, near the end of a large log, and across
// the edge of a tick's share.  Each log is shorter than the one before: read from its start.
TEST_F(PipelineApp, TheOutputLogIsReadOnFromTickToTick)
{
    const size_t share = CVorlanClientApp::kOutputLogBytesPerTick;
    std::string lines;
    while (lines.size() < 5 * share)
        lines += std::string(63, 'l') + "\n";
    const std::pair<std::string, int> cases[] = {
        {std::string(8 * share, 'x') + "\r\n", 9}, {lines, 6}, {std::string(share - 22, 'x') + "\r\n", 2}};
    app.isUnityOk = 1;
    for (const auto& [log, expectedTicks] : cases) {
        LogInit((dir / "log.log").c_str());
        vt::WriteFileBytes(dir / "qxgame\\qxgame_Data\\output_log.txt",
                           log + "PlayerInitEngineGraphics: InitializeEngineGraphics failed\r\nmore\r\n");
        int ticks = 0;
        EXPECT_EQ(AnswerBox([&] {
                      vt::AllocationLimit limit(256 << 10);
                      for (; ticks < 20 && !Logged({"unity启动"}); ++ticks)
                          EXPECT_NO_THROW(app.CheckUnityOutputLog());
                  }).find("显卡驱动错误|获取显卡信息失败"),
                  0u);
        EXPECT_EQ(ticks, expectedTicks);
    }
}

TEST_F(PipelineApp, AFailedUnpackingEndsTheRunAndLeavesNothingHalfInstalled)
{
    ASSERT_TRUE(vt::WriteZip(
        dir / "qxgame.pkg",
        {{"qxgame/", ""}, {"qxgame/qxgame.exe", "exe", true}, {"qxgame/data.bin", "damaged", false, true}}));
    vt::WriteFileBytes(dir / "qxgame\\qxgame.exe", "e");  // left by a run ended while unpacking
    vt::WriteFileBytes(dir / "pkg.ver", "5");
    app.minver = 5;
    SetTimer(nullptr, 0, 50, AskForTheGame);
    EXPECT_EQ(AnswerBox([&] { app.QueryMinVersion(); }, [] { return g_asked.load(); }), "错误提示|游戏包解压失败");
    EXPECT_FALSE(vt::FileExists(dir / "qxgame.pkg"));
    EXPECT_FALSE(vt::FileExists(dir / "qxgame\\qxgame.exe"));
    // The page's request after the box starts nothing.
    const std::vector<std::string> log = vt::LogMessages(dir / "log.log");
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], "OpenGameWindow, szTitle = , szUrl = qid=1");
    EXPECT_EQ(log[log.size() - 2], "正在退出，不再打开游戏");
    EXPECT_EQ(log.back(), "退出进程");

    // A game exe that another program holds keeps the archive as well: the next run unpacks
    // it again instead of taking the exe for an installed game.
    ASSERT_TRUE(vt::WriteZip(dir / "qxgame.pkg", {{"qxgame/", ""}, {"qxgame/qxgame.exe", "exe", true}}));
    vt::WriteFileBytes(dir / "qxgame\\qxgame.exe", "e");
    HANDLE held = CreateFileA((dir / "qxgame\\qxgame.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(AnswerBox([&] { app.UnzipGamePackage((dir / "qxgame.pkg").c_str()); }), "错误提示|游戏包解压失败");
    CloseHandle(held);
    EXPECT_TRUE(vt::FileExists(dir / "qxgame.pkg"));
    EXPECT_TRUE(Logged({"开始解压zip", "删除解压失败的游戏程序失败，保留游戏包：" + dir / "qxgame\\qxgame.exe"}));
    DeleteFileA((dir / "qxgame.pkg").c_str());

    // A downloaded package that cannot take its name: a box, and nothing is unpacked.
    app.taskName = "游戏包", app.savePath = (dir / "qxgame.pkg.downloading").c_str();
    EXPECT_EQ(AnswerBox([&] { app.OnGamePackageDownloaded(); }),
              "错误提示|游戏包保存失败：" + (dir / "qxgame.pkg") + "（错误码：2）");
    EXPECT_TRUE(Logged({"游戏包下载结束，重命名", "T:12;downloaderrAGENT:", "弹出提示：游戏包保存失败"}));
    EXPECT_EQ(vt::LogMessages(dir / "log.log").back(), "退出进程");
}

// A package this run has unpacked whole is not unpacked again at the page's next request,
// also when its archive outlived the unpacking: the game started from it may be running.
TEST_F(PipelineApp, AnArchiveThatOutlivesItsUnpackingIsNotUnpackedAgainInTheSameRun)
{
    const std::string archive = dir / "qxgame.pkg", exe = dir / "qxgame\\qxgame.exe";
    ASSERT_TRUE(vt::WriteZip(archive, {{"qxgame/", ""}, {"qxgame/qxgame.exe", "exe", true}}));
    vt::WriteFileBytes(dir / "pkg.ver", "5");
    app.minver = 5;
    // Another program reads the archive, so it cannot be deleted.
    HANDLE reader = CreateFileA(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    app.CheckGamePackage();
    ASSERT_TRUE(Logged({"zip完成解压", "删除已解压的游戏包失败："}));
    // The game runs from its exe, which cannot be written meanwhile.
    HANDLE game = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const UINT_PTR answer = SetTimer(nullptr, 0, 50, AnswerAnyBox);
    app.CheckGamePackage();
    KillTimer(nullptr, answer);
    CloseHandle(game);
    CloseHandle(reader);
    EXPECT_FALSE(vt::QuitWasPosted());
    EXPECT_TRUE(Logged({"删除已解压的游戏包失败：", "本地版本为5，最低版本为5", "游戏已安装"}));
    EXPECT_EQ(vt::ReadFileBytes(exe), "exe");
}

// The self-update check in folders of their own: what it reads, what it refuses, and the
// hand-over that a game started meanwhile prevents (LauncherRun shows the hand-over itself).
TEST_F(PipelineApp, SelfUpdateDecidesOnceAndNeverHandsOverUnderAGame)
{
    app.appVersion = "1.0.0.1";
    int folders = 0;
    auto useFolder = [&](const std::string& update) {
        const std::string folder = dir / ("u" + std::to_string(++folders));
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\qxgame").c_str(), nullptr);
        vt::WriteFileBytes(folder + "\\qxgame\\qxgame.exe", "exe");
        vt::WriteFileBytes(folder + "\\shellcfg.ini", "[update]\r\n" + update + "\r\n");
        CConfig::GetInstance()->SetExeDir(folder.c_str());
        app.isUpdateChecked = 0;
        return folder;
    };
    const std::string wanted = "updateFlag=1\r\nmin=2.0.0.0\r\npkgName=";
    const struct {
        std::string update;
        const char* line;  // "" for none
    } refused[] = {
        {"updateFlag=true\r\nmin=2.0.0.0", ""},
        {"updateFlag=1\r\nmin=1.0.0.1", "推荐版本为: 1.0.0.1, 无须更新"},
        {wanted, "微端更新包名不可用："},
        {wanted + "..\\u.pkg", "微端更新包名不可用：..\\u.pkg"},
        {wanted + "CON", "微端更新包名不可用：CON"},
        {wanted + "nul.txt", "微端更新包名不可用：nul.txt"},
        {wanted + "u.pkg\r\nlatest=x%d%s", "配置项latest的格式与参数不符，按未配置处理：x%d%s"},
    };
    for (const auto& c : refused) {
        useFolder(c.update);
        app.CheckSelfUpdate();
        EXPECT_EQ(app.isUpdateChecked, 1) << c.update;
        EXPECT_EQ(app.isDownloading + app.isDownloadingUpdatePkg, 0) << c.update;
        EXPECT_TRUE(!*c.line || Logged({c.line})) << c.line;
    }
    // Hide mode, a started game or a missing game leave the check for a later call.
    const std::string folder = useFolder(wanted + "u.pkg");
    app.hide = 1;
    app.CheckSelfUpdate();
    app.hide = 0, app.isGameStarted = 1;
    app.CheckSelfUpdate();
    app.isGameStarted = 0;
    DeleteFileA((folder + "\\qxgame\\qxgame.exe").c_str());
    app.CheckSelfUpdate();
    EXPECT_EQ(app.isUpdateChecked, 0);

    // A download that cannot take its name ends the chain: no updater, no box.
    app.taskName = "微端更新包", app.savePath = (folder + "\\u.pkg.downloading").c_str();
    app.OnUpdatePackageDownloaded();  // a box here would stop the test at its time-out
    EXPECT_TRUE(Logged({"微端更新包重命名失败，错误码：2，本次不再更新"}));

    // Both files present: the box comes at once.  A game started while it is open keeps the launcher.
    vt::WriteFileBytes(folder + "\\qxgame\\qxgame.exe", "exe");
    vt::WriteFileBytes(folder + "\\u.pkg", "update");
    vt::CopyFileTo(vt::ExeDir() + "\\fakeupdater.exe", folder + "\\autoupdate.exe");
    auto startGame = [&] { return app.isGameStarted = 1; };
    EXPECT_EQ(AnswerBox([&] { app.CheckSelfUpdate(); }, startGame), "微端更新|新微端已经更新完毕，重启微端即可体验");
    EXPECT_TRUE(Logged({"游戏已启动，不再拉起自动更新"}));
    EXPECT_FALSE(vt::FileExists(folder + "\\autoupdate_args.txt"));
}

// A package name that a zero byte cuts to nothing is refused before anything is deleted.
TEST_F(PipelineApp, APackageNameCutToNothingByAZeroByteIsRefused)
{
    vt::WriteFileBytes(dir / "qxconfig.ini", std::string("pkgName=\0abc\r\n", 14));
    CConfig::GetInstance()->Load("qxconfig.ini");
    vt::WriteFileBytes(dir / "pkg.ver", "4");  // not the minimum: an old package would be deleted
    app.minver = 5;
    EXPECT_EQ(AnswerBox([&] { app.CheckGamePackage(); }), "错误提示|微端配置错误（pkgName），请重新下载安装");
    EXPECT_TRUE(vt::FileExists(dir / "qxgame\\qxgame_Data") && vt::FileExists(dir / "qxconfig.ini"));
}

// The run ended while the update box was open: the lobby hears of one exit, and no updater starts.
TEST_F(PipelineApp, AQuitDuringTheUpdateBoxStartsNoUpdater)
{
    HWND lobby = CreateWindowA("STATIC", "lobby", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(lobby, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountExits));
    app.ParseCommandLine(("2144 --winid=" + std::to_string(reinterpret_cast<intptr_t>(lobby))).c_str());
    vt::CopyFileTo(vt::ExeDir() + "\\fakeupdater.exe", dir / "autoupdate.exe");
    SetTimer(nullptr, 0, 50, QuitAtABox);
    app.RunAutoUpdater();
    EXPECT_TRUE(vt::QuitWasPosted());
    EXPECT_EQ(g_lobbyExits, 1);
    EXPECT_TRUE(Logged({"退出进程", "正在退出，不再拉起自动更新"}));
    DestroyWindow(lobby);
}
}  // namespace
