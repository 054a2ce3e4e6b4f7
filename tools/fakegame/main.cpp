// fakegame: a stand-in for the game that the launcher starts, for tests and the demo.
//
// It is copied into a package folder under the package's name (<pkg>\<pkg>.exe) and
// takes that name for its data folder <pkg>_Data.  On start it writes
// fakegame_args.txt beside itself: line 1 its raw command line (GetCommandLineA),
// line 2 the show state it was given (STARTUPINFO wShowWindow, -1 without
// STARTF_USESHOWWINDOW).  Everything else it does is scripted by words of its own
// command line (the launcher puts its `params` setting last on the game's line):
//
//   cmdKey:N                 names the command file <pkg>_Data\qxcmd\N.txt (0 without it)
//   fg:window=top            a visible top-level window (what it always opens)
//   fg:log=normal            <pkg>_Data\output_log.txt written at once (default)
//   fg:log=gfxfail           the same, holding the graphics start-up failure line
//   fg:log=none              no output log
//   fg:cmd=ITEM,ITEM,...     command files in order; ITEM is WORD[@MS]: the Nth item's
//                            file holds "N\r\nWORD\r\n" from MS ms after the start, MS
//                            defaulting to 500 ms after the item before.  A file that
//                            the launcher holds open is tried again every 20 ms for up
//                            to 10 s, and the steps after it wait meanwhile.
//   fg:exit=stay             stays until ended (what it always does)
//
// All times are capped at 120 s; the fake game ends with exit code 2 at 120 s.  Closing
// its window ends it with code 0.  A word it cannot read is listed in fakegame_events.txt,
// where every step it takes is appended as a line.
#include <windows.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "tools/fakegame/game_files.h"
#include "tools/fakegame/script.h"

using namespace fakegame;

namespace {

constexpr unsigned kRetryEveryMs = 20;
constexpr unsigned kGiveUpAfterMs = 10000;
constexpr int kLifetimeExitCode = 2;

enum class ActionKind { WriteLog, WriteCommand };

struct Action {
    ActionKind kind;
    unsigned atMs;
    size_t command = 0;    // index into the script's commands
    unsigned firstMs = 0;  // when it was first due, for giving up on retries
};

class FakeGame {
public:
    FakeGame(const GameFolder& folder, const Script& script) : m_folder(folder), m_script(script) {}

    void OpenWindow(HINSTANCE instance, int showCommand);
    int Run();

private:
    std::deque<Action> Schedule() const;
    // False when the action must be tried again later.
    bool Perform(const Action& action);
    bool Finish(WriteResult result, const std::string& what);
    unsigned ElapsedMs() const { return GetTickCount() - m_startTick; }

    GameFolder m_folder;
    Script m_script;
    DWORD m_startTick = GetTickCount();
};

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void FakeGame::OpenWindow(HINSTANCE instance, int showCommand)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "FakeGameWindow";
    RegisterClassA(&windowClass);
    HWND top = CreateWindowExA(0, "FakeGameWindow", m_folder.pkgName.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    ShowWindow(top, showCommand);
    UpdateWindow(top);
    RecordEvent(m_folder, top ? "window top" : "window failed");
}

std::deque<Action> FakeGame::Schedule() const
{
    std::deque<Action> actions;
    if (m_script.log != LogKind::None)
        actions.push_back(Action{ActionKind::WriteLog, 0});
    for (size_t i = 0; i < m_script.commands.size(); ++i)
        actions.push_back(Action{ActionKind::WriteCommand, m_script.commands[i].atMs, i});
    for (Action& action : actions)
        action.firstMs = action.atMs;
    // Equal times keep the script's order: the log, then the commands.
    std::stable_sort(actions.begin(), actions.end(), [](const Action& a, const Action& b) { return a.atMs < b.atMs; });
    return actions;
}

bool FakeGame::Finish(WriteResult result, const std::string& what)
{
    if (result == WriteResult::Busy)
        return false;
    RecordEvent(m_folder, (result == WriteResult::Done ? "" : "failed ") + what);
    return true;
}

bool FakeGame::Perform(const Action& action)
{
    switch (action.kind) {
    case ActionKind::WriteLog:
        return Finish(WriteOutputLog(m_folder, m_script.log == LogKind::GfxFail),
                      m_script.log == LogKind::GfxFail ? "log gfxfail" : "log normal");
    case ActionKind::WriteCommand: {
        const Command& command = m_script.commands[action.command];
        return Finish(WriteCommandFile(m_folder, m_script.cmdKey, command.sequence, command.word),
                      "cmd " + std::to_string(m_script.cmdKey) + " " + std::to_string(command.sequence) + " " +
                          command.word);
    }
    }
    return true;
}

int FakeGame::Run()
{
    std::deque<Action> pending = Schedule();
    while (true) {
        const unsigned now = ElapsedMs();
        if (now >= kLifetimeMs) {
            RecordEvent(m_folder, "lifetime over");
            return kLifetimeExitCode;
        }
        // Due actions run in order.  A file that the launcher holds open is tried again a
        // little later, and what follows it waits, so the commands keep their order.
        while (!pending.empty() && pending.front().atMs <= now) {
            Action& action = pending.front();
            if (!Perform(action)) {
                if (now - action.firstMs < kGiveUpAfterMs) {
                    action.atMs = now + kRetryEveryMs;
                    break;
                }
                RecordEvent(m_folder, "gave up on a busy file");
            }
            pending.erase(pending.begin());
        }
        const unsigned next = pending.empty() ? kLifetimeMs : std::min(pending.front().atMs, kLifetimeMs);
        const unsigned waitMs = next > ElapsedMs() ? next - ElapsedMs() : 0;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                RecordEvent(m_folder, "window closed");
                return 0;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

int ShowStateOfThisProcess()
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    const GameFolder folder = GameFolder::OfThisExe();
    const std::string commandLine = GetCommandLineA();
    RecordStart(folder, commandLine, ShowStateOfThisProcess());
    const Script script = ParseScript(commandLine);
    for (const std::string& word : script.refused)
        RecordEvent(folder, "refused " + word);
    FakeGame game(folder, script);
    game.OpenWindow(instance, showCommand);
    return game.Run();
}
