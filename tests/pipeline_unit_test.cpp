// The pipeline's pure pieces: configured formats, the game's command line, command
// files, pkg.ver, the package folder's removal, the download percentage.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/command_file.h"
#include "app/config.h"
#include "app/download_percent.h"
#include "app/format_check.h"
#include "app/game_command_line.h"
#include "app/package_files.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/test_support.h"

TEST(PipelineUnit, ConfiguredFormatsFitOnlyTheirArguments)
{
    const char* fitting[][2] = {{"%s.ini", "s"},    {"h/%s?t=%d", "sd"}, {"h/%s?t=%u%%", "sd"},
                                {"fixed.ini", "s"}, {"%-5.3s", "s"},     {"h/c?t=%010x", "d"}};
    // Extra, wrong or misordered conversions; ones that write, take more arguments or are too wide.
    const char* refused[][2] = {{"%s%s.ini", "s"}, {"h/%d?t=%s", "sd"}, {"%s", "d"},   {"%n%s", "s"},
                                {"%*d", "d"},      {"%ld", "d"},        {"%1$s", "s"}, {"%S", "s"},
                                {"%1000d", "d"},   {"%.9999s", "s"},    {"name%", "s"}};
    for (const auto& c : fitting)
        EXPECT_TRUE(FormatFitsArguments(c[0], c[1])) << c[0];
    for (const auto& c : refused)
        EXPECT_FALSE(FormatFitsArguments(c[0], c[1])) << c[0];
}

TEST(PipelineUnit, GameCommandLine)
{
    const char* kShell = " wdver:1 shell:C:\\v\\V.exe ";
    const struct {
        const char *gameUrl, *line, *userId;  // userId "-": none set
    } cases[] = {
        {"uid=1&qid=2&QID=5", "log:0 qosStartAt:5 cmdKey:9 uid:1 qid:2 QID:5 wdmode:simle", "2"},
        {"a=b=c&k=&v=x y:z&abc&=abc&==abc", "log:0 qosStartAt:5 cmdKey:9 a:b=c k: v:x y:z wdmode:simle", "-"},
    };
    for (const auto& c : cases) {
        const GameCommandLine line = BuildGameCommandLine({"", 5, 9, c.gameUrl, true, 1, "C:\\v\\V.exe", ""});
        EXPECT_EQ(line.text.str(), std::string(c.line) + kShell);
        EXPECT_EQ(line.hasUserId ? line.userId : "-", c.userId) << c.gameUrl;
    }
    const GameCommandLine line = BuildGameCommandLine({"2", 0, 0, "abc&=x", false, 0, "s", "-x -y"});
    EXPECT_EQ(line.text.str(), "log:2 qosStartAt:0 cmdKey:0 wdver:0 shell:s -x -y");
    EXPECT_EQ(line.skipped, (std::vector<std::string>{"abc", "=x"}));
}

TEST(PipelineUnit, CommandFileSequence)
{
    vt::TempDir dir{"cmdfile"};
    const std::string path = dir / "1.txt";
    const struct {
        const char* content;
        GameCommand command;
        int lastSequence;
    } steps[] = {
        {"0\r\nquit\r\n", GameCommand::None, 0},
        {"-3\nquit", GameCommand::None, 0},
        {"1\r\nok\r\n", GameCommand::Ok, 1},
        {"1\r\nok\r\n", GameCommand::None, 1},
        {" +2\ncanExit\nquit", GameCommand::CanExit, 2},
        {"5\r\nQuit\r\n", GameCommand::None, 5},
        {"6\nquit \n", GameCommand::None, 6},
        {"7", GameCommand::None, 7},
        {"8x\nreset", GameCommand::Reset, 8},
        {"x9\nquit", GameCommand::None, 8},
        {"10\r\nquit\r\n", GameCommand::Quit, 10},
    };
    int last = 0;
    for (const auto& step : steps) {
        CommandFileContent content;
        ASSERT_TRUE(vt::WriteFileBytes(path, step.content) && ReadCommandFile(path.c_str(), content));
        EXPECT_EQ(TakeNewCommand(content, last), step.command) << step.content;
        EXPECT_EQ(last, step.lastSequence) << step.content;
    }
    // Only the beginning of a file without an end of its command line is read.
    CommandFileContent content;
    ASSERT_TRUE(vt::WriteFileBytes(path, "11\nquit" + std::string(8 << 20, 'q')));
    {
        vt::AllocationLimit limit(64 << 10);
        ASSERT_TRUE(ReadCommandFile(path.c_str(), content));
    }
    EXPECT_EQ(TakeNewCommand(content, last), GameCommand::None);
    EXPECT_EQ(last, 11);
    // A file that its writer still holds is not read.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReadCommandFile(path.c_str(), content));
    CloseHandle(held);
}

// (Failures to write pkg.ver or to remove a package are shown by the end-to-end runs.)
TEST(PipelineUnit, PackageFiles)
{
    vt::TempDir dir{"pkgfiles"};
    CConfig::GetInstance()->SetExeDir(dir.path().c_str());
    const std::string pkgVer = dir / "pkg.ver", game = dir / "game";
    int version = -1;
    DWORD error = 0;
    EXPECT_TRUE(ReadLocalPkgVersion("\\pkg.ver", version, error) && version == 0);
    const std::pair<const char*, int> versions[] = {{"", 0}, {"3\n", 3}, {"3\r\n4", 4}, {"3\n4\r", 4}, {"3\n\n", 0},
                                                    {" -5x", -5}};
    for (const auto& v : versions) {
        vt::WriteFileBytes(pkgVer, v.first);
        EXPECT_TRUE(ReadLocalPkgVersion("\\pkg.ver", version, error));
        EXPECT_EQ(version, v.second) << v.first;
    }
    EXPECT_TRUE(WritePkgVersion(7, error));  // replaces the whole file
    EXPECT_EQ(vt::ReadFileBytes(pkgVer), "7");
    // Read-only and hidden entries go too.
    CreateDirectoryA(game.c_str(), nullptr);
    CreateDirectoryA((game + "\\sub").c_str(), nullptr);
    vt::WriteFileBytes(game + "\\sub\\a.dll", "a");
    SetFileAttributesA((game + "\\sub\\a.dll").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((game + "\\sub").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteDirectory(game.c_str()));
    EXPECT_FALSE(vt::FileExists(game));
    for (const char* name :
         {"", ".", "..", "...", " .", " ", "a\\b", "a/b", "c:", "nul", "CON", "Con.txt", "AUX ", "CONOUT$", "game ", "game.",
          "game. ", "游戏 "})
        EXPECT_FALSE(IsSafePackageName(name)) << name;
    EXPECT_TRUE(IsSafePackageName("..game") && IsSafePackageName("console") && IsSafePackageName("game.v2") &&
                IsSafePackageName(" game"));
}

TEST(PipelineUnit, DownloadPercent)
{
    const LONG cases[][3] = {{0, 1, 0},       {50, 200, 25}, {199, 200, 99},       {200, 200, 100}, {0, 0, 100},
                             {300, 200, 100}, {-5, 200, 0},  {2147483647, 1, 100}, {-2, -4, 50}};
    for (const auto& c : cases)
        EXPECT_EQ(DownloadPercent(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
}
