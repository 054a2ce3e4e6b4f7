// The real launcher exe in a scratch folder against a server in the test: platform and
// shell configuration, package download and unpacking, failures, the game, hide mode, self-update.
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <regex>

#include "app/package_unzip.h"
#include "tests/support/test_support.h"
#include "tests/support/test_zip.h"

namespace {
using Lines = std::vector<std::string>;
const std::string kInstallSteps = "3 startquerymin, 10 startdownload, 11 finishdownload, 20 startunzip, 21 finishunzip";

class LauncherRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        vt::WriteZip(dir / "package.zip", {{"qxgame/", ""}, {"qxgame/qxgame.exe", "game exe", true}});
        files = {{"/yy.ini", "pkgName=qxgame\r\n"},
                 {"/shellcfg.ini", "[game]\r\nminver=12\r\n"},
                 {"/pkg_00012.zip", vt::ReadFileBytes(dir / "package.zip")}};
        server.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex);
            (req.path == "/qos" ? qos : requests)
                .push_back(req.path == "/qos" ? req.get_param_value("data") : req.target);
            res.status = files.count(req.path) ? 200 : 404;
            res.set_content(files.count(req.path) ? files[req.path] : "", "application/octet-stream");
        });
        ASSERT_TRUE(server.Start());
        UseFolder("client");
    }
    // A fresh folder holding the launcher and a qxconfig.ini for this server, plus extra
    // lines in which "SERVER" stands for its address.
    void UseFolder(const std::string& name, const std::string& extra = "", const std::string& exe = "VorlanClient.exe")
    {
        const std::string lines = "pfCfgName=%s.ini\r\npfURL=SERVER/%s?t=%d\r\nshellcfgURL=SERVER/shellcfg.ini?t=%d\r\n"
                                  "pkg=SERVER/pkg_{0}.zip\r\nqos=SERVER/qos\r\njump=/game?\r\n" +
                                  extra;
        folder = vt::LauncherFolder(dir / name, std::regex_replace(lines, std::regex("SERVER"), server.Url("")), exe);
        CreateDirectoryA((folder / "qxgame").c_str(), nullptr);
    }
    // Runs the launcher to its end; after closeAfterBoxes boxes (never when negative) asks the
    // main window to close, which it does once the package is installed.
    long Run(const std::string& tail, int closeAfterBoxes = 0)
    {
        requests.clear(), qos.clear();
        return folder.Run(tail, [&](HWND window) {
            if (closeAfterBoxes >= 0 && folder.boxes.size() >= static_cast<size_t>(closeAfterBoxes))
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        });
    }
    // "step tag, ..." of the QoS reports after the page's own (step 1).
    std::string QosSteps()
    {
        std::string steps;
        std::smatch match;
        for (const std::string& text : qos)
            if (std::regex_search(text, match, std::regex(";T:(\\d+);(\\w*)AGENT:")) && match[1] != "1")
                steps += (steps.empty() ? "" : ", ") + match[1].str() + " " + match[2].str();
        return steps;
    }
    bool LogHasInOrder(const Lines& texts) { return vt::LogHasInOrder(folder / "log.log", texts); }

    vt::TempDir dir{"pipee2e"};
    vt::LauncherFolder folder;
    vt::TestServer server;
    std::mutex mutex;
    std::map<std::string, std::string> files;
    Lines requests, qos;
};

TEST_F(LauncherRun, InstallsOnTheFirstRunAndFindsThePackageLater)
{
    ASSERT_EQ(Run("yy"), 0);
    EXPECT_TRUE(folder.boxes.empty());
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(std::regex_match(requests[2], std::regex("/pkg_00012\\.zip\\?ver=\\d+"))) << requests[2];
    EXPECT_EQ(QosSteps(), kInstallSteps);
    EXPECT_EQ(folder.Read("qxgame\\qxgame.exe"), "game exe");
    EXPECT_EQ(folder.Read("pkg.ver"), "12");
    EXPECT_EQ(folder.Read("yy.ini"), "pkgName=qxgame\r\n");
    for (const char* gone : {"qxgame.pkg", "qxgame.pkg.downloading", "shellcfg.ini.downloading", "yy.ini.downloading"})
        EXPECT_FALSE(vt::FileExists(folder / gone)) << gone;
    EXPECT_TRUE(LogHasInOrder({"检查平台配置文件：yy.ini", "开始下载平台配置文件", "平台配置文件下载结束，task=4",
                               "平台配置下载结束", "游戏版本配置文件下载结束，task=0", "最低版本查询结束",
                               "在线获取最低版本为12", "本地版本为0，最低版本为12", "本地pkg已过期，删除重下",
                               "写入版本号：12", "开始下载游戏包", "游戏包下载结束，task=1", "游戏包下载结束，重命名",
                               "开始解压zip", "zip完成解压"}));

    ASSERT_EQ(Run("yy"), 0);
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_TRUE(LogHasInOrder({"平台配置文件已存在", "本地版本为12，最低版本为12", "游戏已安装"}));
    // A newer pkg.ver is as wrong as an older one: the folder goes and the package comes
    // again, also past an old file held open (only an old game exe left would stop it).
    folder.Write("pkg.ver", "13");
    folder.Write("qxgame\\leftover.txt", "old");
    folder.Write("qxgame\\held.txt", "old");
    HANDLE held =
        CreateFileA((folder / "qxgame\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(Run("yy"), 0);
    CloseHandle(held);
    EXPECT_TRUE(folder.boxes.empty());
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_FALSE(vt::FileExists(folder / "qxgame\\leftover.txt"));
    EXPECT_EQ(folder.Read("qxgame\\qxgame.exe"), "game exe");
    EXPECT_EQ(folder.Read("pkg.ver"), "12");

    // Hide mode reads the command file from start-up and reports nothing.
    CreateDirectoryA((folder / "qxgame\\qxgame_Data").c_str(), nullptr);
    CreateDirectoryA((folder / "qxgame\\qxgame_Data\\qxcmd").c_str(), nullptr);
    folder.Write("qxgame\\qxgame_Data\\qxcmd\\42.txt", "1\r\nquit\r\n");
    EXPECT_EQ(Run("yy hide cmd42", -1), 0);
    EXPECT_TRUE(qos.empty());
    EXPECT_TRUE(LogHasInOrder({"启动参数：yy hide cmd42", "检查平台配置文件：yy.ini", "退出进程"}));
}

TEST_F(LauncherRun, FailuresAndFallbacks)
{
    const std::string refused = "错误提示\\|http response failed, isrun:1, res:NULL, status: ";
    const struct {
        const char *tail, *config;
        const char* held;  // a file of an installed version 11 that the test holds open, or null
        DWORD share;       // how the test shares it
        std::string box;   // title|text, or how many boxes when not one
        std::string qos;
        bool kept;  // the installed files are all there at the end
    } cases[] = {
        {"3601", "", nullptr, 0, refused + "404, url: http://[\\d.:]+/3601\\.ini\\?t=\\d+", "6 downloadpferr", false},
        // "?ver=" follows even a "?" of the setting (which the test server refuses).
        {"360", "pkgName=qxgame\r\npkg=SERVER/pkg.zip?v={0}&w={0}\r\n", nullptr, 0,
         refused + "400, url: http://[\\d.:]+/pkg\\.zip\\?v=00012&w=00012\\?ver=\\d+",
         "3 startquerymin, 10 startdownload, 12 downloaderr", false},
        {"360", "pkgName=..\r\n", nullptr, 0, "错误提示\\|微端配置错误（pkgName），请重新下载安装", "3 startquerymin",
         false},
        // Windows would drop the blank or dot from the folder's name but not from the exe's path.
        {"360", "pkgName=qxgame \r\n", nullptr, 0, "错误提示\\|微端配置错误（pkgName），请重新下载安装", "3 startquerymin",
         false},
        {"360", "pkgName=qxgame.\r\n", nullptr, 0, "错误提示\\|微端配置错误（pkgName），请重新下载安装", "3 startquerymin",
         false},
        // A game still running from the old exe: nothing of the old package goes.
        {"yy", "", "qxgame\\qxgame.exe", FILE_SHARE_READ | FILE_SHARE_WRITE,
         "错误提示\\|旧版本游戏包删除失败，请关闭游戏后重新打开微端", "3 startquerymin", true},
        // A pkg.ver that cannot be read gives no version, not an old one.
        {"yy", "", "pkg.ver", 0, "错误提示\\|版本文件pkg.ver读取失败，请关闭占用它的程序后重新打开微端（错误码：32）",
         "3 startquerymin", true},
        {"yy", "", "pkg.ver", FILE_SHARE_READ, "错误提示\\|版本文件pkg.ver写入失败.*", "3 startquerymin", false},
        // A platform file name that does not fit its format counts as not configured.
        {"yy", "pkgName=qxgame\r\npfCfgName=%d.ini\r\n", nullptr, 0, "错误\\|读取配置失败：", kInstallSteps, false},
        // So does one that a platform would carry out of the launcher's folder.
        {"x\\..\\..\\esc", "pkgName=qxgame\r\n", nullptr, 0, "错误\\|读取配置失败：", kInstallSteps, false},
        // A failed shellcfg.ini without an earlier copy: qxconfig.ini's minver counts.
        {"yy", "shellcfgURL=SERVER/none.ini?t=%d\r\nminver=11\r\n", "qxgame\\qxgame.exe", 0, "0 boxes",
         "3 startquerymin, 5 queryminerr", true},
    };
    int run = 0;
    for (const auto& c : cases) {
        UseFolder("run" + std::to_string(++run), c.config);
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.held) {
            folder.Write("qxgame\\qxgame.exe", "version 11");
            folder.Write("qxgame\\level.dat", "level 11");
            folder.Write("pkg.ver", "11");
            held = CreateFileA((folder / c.held).c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        EXPECT_EQ(Run(c.tail), 0) << run;
        CloseHandle(held);
        if (c.held) {
            EXPECT_EQ(folder.Read("qxgame\\qxgame.exe") + folder.Read("qxgame\\level.dat"),
                      c.kept ? "version 11level 11" : "")
                << run;
        }
        const std::string seen =
            folder.boxes.size() == 1 ? folder.boxes[0] : std::to_string(folder.boxes.size()) + " boxes";
        EXPECT_TRUE(std::regex_match(seen, std::regex(c.box))) << seen;
        EXPECT_EQ(QosSteps(), c.qos) << run;
        EXPECT_FALSE(vt::FileExists(folder / "3601.ini") || vt::FileExists(folder / "3601.ini.downloading"));
    }
    EXPECT_FALSE(vt::FileExists(dir / "esc.ini") || vt::FileExists(dir / "esc.ini.downloading"));
}

// What a run finds installed is whole when the game starts: an archive that an unpacking
// cut short left beside a damaged package is unpacked again (then kept, as another
// program reads it), and a pkg.ver that another program reads is still read.
TEST_F(LauncherRun, TheGameStartsFromAWholePackage)
{
    const std::vector<vt::ZipEntry> entries = {
        {"qxgame/", ""},
        {"qxgame/qxgame.exe", vt::ReadFileBytes(vt::ExeDir() + "\\fakegame.exe"), true},
        {"qxgame/level.dat", vt::Letters(300000), true},
        {"qxgame/readme.txt", "read me"}};
    ASSERT_TRUE(vt::WriteZip(dir / "game.zip", entries));
    const std::pair<std::string, std::string> cases[] = {
        {"qxgame.pkg", "删除已解压的游戏包失败：" + dir / "cut\\qxgame.pkg" + "，错误码：32"}, {"pkg.ver", "游戏已安装"}};
    for (const auto& c : cases) {
        const bool cut = c.first == "qxgame.pkg";
        UseFolder(cut ? "cut" : "busy", "page=SERVER/game?qid=42\r\nparams=fg:cmd=quit@1000\r\n");
        vt::CopyFileTo(vt::ExeDir() + "\\fake_d3d9\\d3d9.dll", folder / "d3d9.dll");
        ASSERT_TRUE(UnzipPackage(dir / "game.zip", dir / (cut ? "cut" : "busy")));
        folder.Write("pkg.ver", "12");
        if (cut) {
            DeleteFileA((folder / "qxgame\\level.dat").c_str());
            folder.Write("qxgame\\readme.txt", "");
            vt::CopyFileTo(dir / "game.zip", folder / "qxgame.pkg");
        }
        // This test, another program to the launcher, reads the file sharing it with readers only.
        HANDLE held =
            CreateFileA((folder / c.first).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(Run("yy", -1), 0) << c.first;
        CloseHandle(held);
        EXPECT_TRUE(folder.boxes.empty()) << c.first;
        for (size_t i = 1; i < entries.size(); ++i)
            EXPECT_TRUE(folder.Read("qxgame\\" + entries[i].name.substr(7)) == entries[i].data) << entries[i].name;
        EXPECT_EQ(folder.Read("pkg.ver"), "12");
        EXPECT_TRUE(LogHasInOrder({"本地版本为12，最低版本为12", c.second, "已安装dx9，启动unity", "unity进程创建成功"}))
            << c.first;
        EXPECT_EQ(requests.size(), 2u);  // the configuration files; no package
    }
}

// The page hands the game over through the jump rule; the fake game reports, and quits.
TEST_F(LauncherRun, StartsTheGameThePageChoseAndFollowsIt)
{
    vt::WriteZip(dir / "game.zip",
                 {{"qxgame/", ""}, {"qxgame/qxgame.exe", vt::ReadFileBytes(vt::ExeDir() + "\\fakegame.exe"), true}});
    files["/pkg_00012.zip"] = vt::ReadFileBytes(dir / "game.zip");
    const struct {
        const char *params, *box;  // box: title|text, or ""
        Lines log;
    } cases[] = {
        // Each command well after the launcher's 500 ms poll of the one before: the file holds one only.
        {"fg:cmd=ok@1500,canExit@3000,quit@4500",
         "",
         {"已安装dx9，启动unity", "unity启动正常", "收到unity ok消息", "收到unity canExit消息", "退出进程"}},
        {"fg:log=gfxfail fg:cmd=quit@4000",
         "显卡驱动错误|获取显卡信息失败，请升级显卡驱动或者添加官方QQ群联系客服。(QQ群：417263905)",
         {"unity启动失败", "退出进程"}},
        // As NoD3D9.exe, which Wine's d3d9 is refused to: the one beside it, which a plain search
        // finds, is never loaded, and the launcher stays without a game until it is closed.
        {"", "缺少组件|检测到您尚未安装微软DirectX9，安装后即可体验极致酷炫游戏效果！", {"未安装dx9，提示安装"}},
    };
    const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\NoD3D9.exe\\DllOverrides";
    RegSetKeyValueA(HKEY_CURRENT_USER, kAppDefaults, "d3d9", REG_SZ, "native", 7);
    int run = 0;
    for (const auto& c : cases) {
        const char* exe = ++run == 3 ? "NoD3D9.exe" : "VorlanClient.exe";
        UseFolder("run" + std::to_string(run),
                  std::string("page=SERVER/game?qid=42&server=7&bad\r\nparams=") + c.params + "\r\n", exe);
        vt::CopyFileTo(vt::ExeDir() + "\\fake_d3d9\\d3d9.dll", folder / "d3d9.dll");
        EXPECT_EQ(Run("yy", run == 3 ? 1 : -1), 0) << run;
        EXPECT_EQ(folder.boxes, *c.box ? Lines{c.box} : Lines{}) << run;
        EXPECT_TRUE(LogHasInOrder(c.log)) << run;
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
    EXPECT_EQ(QosSteps(), "2 opengame, " + kInstallSteps + ", 42 nodx9");
    // The game's own record of the first run: its whole command line and a maximised window.
    const std::string shell = std::regex_replace(dir / "run1\\VorlanClient.exe", std::regex("[\\\\.]"), "\\$&");
    const std::string started = vt::ReadFileBytes(dir / "run1\\qxgame\\fakegame_args.txt");
    EXPECT_TRUE(std::regex_match(
        started, std::regex("log:0 qosStartAt:\\d+ cmdKey:\\d+ qid:42 server:7 wdver:10000001 shell:" + shell +
                            " fg:cmd=ok@1500,canExit@3000,quit@4500\r\n3\r\n")))
        << started;
}

// An installed launcher older than shellcfg.ini's minimum fetches the update package,
// then the updater, and hands over to it; the next run does not hand over again.
TEST_F(LauncherRun, HandsOverToTheUpdaterOnce)
{
    files["/shellcfg.ini"] = "[game]\r\nminver=12\r\n[update]\r\nupdateFlag=1\r\nmin=1.0.0.2\r\npkgName=upd.pkg\r\n"
                             "latest=" +
                             server.Url("/%s?t=%d") + "\r\nautoupdate=" + server.Url("/autoupdate.exe?t=%d") + "\r\n";
    files["/upd.pkg"] = "update package";  // never opened by the launcher: any bytes will do
    folder.Write("pkg.ver", "12");
    folder.Write("qxgame\\qxgame.exe", "installed");
    // Started from another folder, as a shortcut or a lobby may start it.
    const std::string elsewhere = dir / "elsewhere";
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    folder.currentFolder = elsewhere;

    // The server has no updater yet: its failed fetch is logged as ended too, and only the
    // rename line after it tells a fetch that succeeded.  The run stays; it is closed then.
    requests.clear();
    ASSERT_EQ(folder.Run("yy --source=lobby",
                         [&](HWND window) {
                             if (LogHasInOrder({"自动更新程序下载结束，task=2"}))
                                 PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                         }),
              0);
    EXPECT_TRUE(folder.boxes.empty());
    ASSERT_EQ(requests.size(), 4u);  // the platform file, shellcfg.ini, then the two files
    EXPECT_EQ(requests[2].substr(0, 11), "/upd.pkg?t=");
    EXPECT_EQ(requests[3].substr(0, 18), "/autoupdate.exe?t=");
    EXPECT_EQ(folder.Read("upd.pkg"), "update package");
    EXPECT_TRUE(LogHasInOrder({"微端更新包下载结束，task=3", "微端更新包下载结束，重命名",
                               "http response failed, isrun:1, res:NULL, status: 404, url: " + server.Url("/autoupdate.exe?t="),
                               "自动更新程序下载结束，task=2"}));
    EXPECT_FALSE(LogHasInOrder({"自动更新程序下载结束，重命名"}));
    EXPECT_FALSE(vt::FileExists(folder / "autoupdate.exe") || vt::FileExists(folder / "autoupdate.exe.downloading"));

    // With the updater served, the package found present goes straight to it.  The updater
    // runs in the launcher's current folder, beside the launcher, with the launcher's words
    // after one blank and no program path: the runtime's argv[0] is empty.
    files["/autoupdate.exe"] = vt::ReadFileBytes(vt::ExeDir() + "\\fakeupdater.exe");
    ASSERT_EQ(Run("yy --source=lobby", -1), 0);
    EXPECT_EQ(folder.boxes, Lines{"微端更新|新微端已经更新完毕，重启微端即可体验"});
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].substr(0, 18), "/autoupdate.exe?t=");
    vt::WaitUntil([&] { return !folder.Read("autoupdate_args.txt").empty(); }, vt::kWineWaitMs);
    EXPECT_EQ(folder.Read("autoupdate_args.txt"),
              " yy --source=lobby\r\n" + elsewhere + "\r\n[][yy][--source=lobby]\r\n");
    EXPECT_TRUE(LogHasInOrder(
        {"微端更新包已存在", "自动更新程序下载结束，task=2", "自动更新程序下载结束，重命名", "自动更新拉起成功", "退出进程"}));

    // The updater did not raise the version: this run fetches nothing more and stays.
    ASSERT_EQ(Run("yy"), 0);
    EXPECT_TRUE(folder.boxes.empty());
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_TRUE(LogHasInOrder({"游戏已安装", "已为推荐版本1.0.0.2拉起过自动更新，微端仍为1.0.0.1，本次不再更新"}));
}
}  // namespace
