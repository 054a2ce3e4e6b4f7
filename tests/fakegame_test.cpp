// The fake game exe installed as a package's game and started the way the launcher starts it.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/test_support.h"

namespace {
constexpr DWORD kTimeoutMs = 30000;
const char kFailureLine[] = "PlayerInitEngineGraphics: InitializeEngineGraphics failed";

class InstalledGame {
public:
    InstalledGame()
    {
        CreateDirectoryA(Folder().c_str(), nullptr);
        vt::CopyFileTo(vt::ExeDir() + "\\fakegame.exe", File("qxgame.exe"));
    }
    ~InstalledGame()
    {
        if (m_info.hProcess) {
            TerminateProcess(m_info.hProcess, 99);
            WaitForSingleObject(m_info.hProcess, 5000);
            CloseHandle(m_info.hProcess);
            CloseHandle(m_info.hThread);
        }
    }
    std::string Folder() const { return m_dir / "qxgame"; }
    std::string File(const std::string& name) const { return Folder() + "\\" + name; }

    // As the launcher does: the exe as application name, a line without the exe's path.
    bool Start(const std::string& commandLine, WORD showState = SW_SHOWNORMAL)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showState;
        std::string line = commandLine;
        return CreateProcessA(File("qxgame.exe").c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &m_info) != 0;
    }
    long Wait()
    {
        DWORD code = 0;
        if (WaitForSingleObject(m_info.hProcess, kTimeoutMs) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_info.hProcess, &code))
            return -1;
        return static_cast<long>(code);
    }
    // Waits until the game has recorded an event line; false when it never did.
    bool WaitForEvent(const std::string& line)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeoutMs; Sleep(20)) {
            if (vt::Contains(Events(), line))
                return true;
        }
        return false;
    }
    std::vector<std::string> Events() const { return vt::ReadCrLfLines(File("fakegame_events.txt")); }
    DWORD pid() const { return m_info.dwProcessId; }

private:
    vt::TempDir m_dir{"fakegame"};
    PROCESS_INFORMATION m_info{};
};

struct WindowCount {
    DWORD pid;
    int unowned = 0;
    int owned = 0;
    bool zoomed = false;
};

BOOL CALLBACK CountVisibleWindows(HWND window, LPARAM param)
{
    auto* count = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == count->pid && IsWindowVisible(window)) {
        (GetWindow(window, GW_OWNER) ? count->owned : count->unowned)++;
        count->zoomed = count->zoomed || IsZoomed(window);
    }
    return TRUE;
}

HANDLE OpenExclusive(const std::string& path, DWORD creation)
{
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}
}  // namespace

TEST(FakeGameTest, RecordsItsRawCommandLineAndShowState)
{
    // The launcher's line: no exe path in front, params last, a trailing blank kept.
    const std::string line = "log:1 qosStartAt:1700000000 cmdKey:77 qid:42 wdver:100000100 "
                             "shell:C:\\games\\VorlanClient.exe fg:window=none fg:log=none fg:exit=0 fg:bogus=1 ";
    for (WORD show : {WORD(SW_SHOWNORMAL), WORD(SW_MAXIMIZE)}) {
        InstalledGame game;
        ASSERT_TRUE(game.Start(line, show));
        EXPECT_EQ(game.Wait(), 0);
        EXPECT_EQ(vt::ReadCrLfLines(game.File("fakegame_args.txt")),
                  (std::vector<std::string>{line, std::to_string(show)}));
        EXPECT_EQ(game.Events(), (std::vector<std::string>{"refused fg:bogus=1", "window none", "exit"}));
        EXPECT_FALSE(vt::FileExists(game.File("qxgame_Data\\output_log.txt")));
    }
}

TEST(FakeGameTest, OutputLogVariants)
{
    struct Case {
        const char* script;
        bool failureLine;
    } cases[] = {{"fg:log=normal", false}, {"fg:log=gfxfail", true}};
    for (const Case& c : cases) {
        InstalledGame game;
        ASSERT_TRUE(game.Start(std::string("cmdKey:1 fg:window=none fg:exit=0 ") + c.script));
        EXPECT_EQ(game.Wait(), 0);
        const auto lines = vt::ReadCrLfLines(game.File("qxgame_Data\\output_log.txt"));
        EXPECT_FALSE(lines.empty()) << c.script;
        EXPECT_EQ(vt::Contains(lines, kFailureLine), c.failureLine) << c.script;
    }

    // Late: not there when the game has started, there once it has written it.
    InstalledGame late;
    ASSERT_TRUE(late.Start("cmdKey:1 fg:window=none fg:log=late:3000 fg:exit=3500"));
    ASSERT_TRUE(late.WaitForEvent("window none"));
    EXPECT_FALSE(vt::FileExists(late.File("qxgame_Data\\output_log.txt")));
    EXPECT_EQ(late.Wait(), 0);
    EXPECT_EQ(late.Events(), (std::vector<std::string>{"window none", "log normal", "exit"}));
    EXPECT_TRUE(vt::FileExists(late.File("qxgame_Data\\output_log.txt")));

    // Locked: held without sharing, so an exclusive open fails until it is released.
    InstalledGame locked;
    ASSERT_TRUE(locked.Start("cmdKey:1 fg:window=none fg:log=locked:3000 fg:exit=3000"));
    ASSERT_TRUE(locked.WaitForEvent("log held"));
    HANDLE file = OpenExclusive(locked.File("qxgame_Data\\output_log.txt"), OPEN_EXISTING);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(locked.Wait(), 0);
    EXPECT_EQ(locked.Events(), (std::vector<std::string>{"window none", "log held", "log released", "exit"}));
    EXPECT_FALSE(vt::ReadCrLfLines(locked.File("qxgame_Data\\output_log.txt")).empty());
}

TEST(FakeGameTest, CommandFilesKeepTheirOrderWhileTheLauncherHoldsTheFile)
{
    InstalledGame game;
    const std::string commandFile = game.File("qxgame_Data\\qxcmd\\-7.txt");
    CreateDirectoryA(game.File("qxgame_Data").c_str(), nullptr);
    CreateDirectoryA(game.File("qxgame_Data\\qxcmd").c_str(), nullptr);
    HANDLE held = OpenExclusive(commandFile, CREATE_ALWAYS);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    ASSERT_TRUE(game.Start("log:0 cmdKey:-7 fg:window=none fg:log=none "
                           "fg:cmd=ok@100,canExit#5@200,quit,Quit#2 fg:exit=1500"));
    ASSERT_TRUE(game.WaitForEvent("window none"));
    Sleep(1000);  // the first two commands come due while the file is held
    CloseHandle(held);
    EXPECT_EQ(game.Wait(), 0);
    EXPECT_EQ(game.Events(), (std::vector<std::string>{"window none", "cmd -7 1 ok", "cmd -7 5 canExit",
                                                       "cmd -7 6 quit", "cmd -7 2 Quit", "exit"}));
    EXPECT_EQ(vt::ReadFileBytes(commandFile), "2\r\nQuit\r\n");
}

TEST(FakeGameTest, WindowKinds)
{
    struct Case {
        const char* kind;
        WORD show;
        int unowned, owned;
        bool zoomed;
    } cases[] = {{"top", SW_SHOWNORMAL, 1, 0, false},
                 {"top", SW_MAXIMIZE, 1, 0, true},
                 {"owned", SW_SHOWNORMAL, 0, 1, false},
                 {"none", SW_SHOWNORMAL, 0, 0, false}};
    for (const Case& c : cases) {
        InstalledGame game;
        ASSERT_TRUE(game.Start(std::string("cmdKey:1 fg:log=none fg:window=") + c.kind, c.show));
        ASSERT_TRUE(game.WaitForEvent(std::string("window ") + c.kind));
        WindowCount count{game.pid()};
        EnumWindows(CountVisibleWindows, reinterpret_cast<LPARAM>(&count));
        EXPECT_EQ(count.unowned, c.unowned) << c.kind;
        EXPECT_EQ(count.owned, c.owned) << c.kind;
        EXPECT_EQ(count.zoomed, c.zoomed) << c.kind << " " << c.show;
    }
}
