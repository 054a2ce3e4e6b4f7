// Helpers shared by the test suites: scratch folders, files, processes, message boxes.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace vt {

// Folder of the running test executable (the launcher exe is built beside it).
std::string ExeDir();

void RemoveTree(const std::string& path);
// A fresh folder under the system's temp folder, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& nameHint = "vt");
    ~TempDir() { RemoveTree(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

inline bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
inline bool CopyFileTo(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE);
}
// Lines of a file, split at "\r\n" (a lone "\n" stays in the line).
std::vector<std::string> ReadCrLfLines(const std::string& path);
// count bytes of "abc...zabc...", a body whose every piece is told apart from its neighbours.
std::string Letters(size_t count);

// The messages of a launcher log, without their "<date time> " prefix; the banner is no message.
std::vector<std::string> LogMessages(const std::string& path);
inline bool Contains(const std::vector<std::string>& messages, const std::string& message)
{
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}
// Each of texts is part of a message of the log at path, in this order.
bool LogHasInOrder(const std::string& path, const std::vector<std::string>& texts);

// How long a test waits for what Wine does on its own time (a window, a request, a file):
// a first run in a new prefix on a busy two-core machine took over ten seconds.
constexpr DWORD kWineWaitMs = 30000;

// Tries done() until it holds or timeoutMs has passed, with pause() between tries, and gives
// whether it held; done() runs once, and once more after each pause.
bool WaitUntil(
    const std::function<bool()>& done, DWORD timeoutMs, const std::function<void()>& pause = [] { Sleep(10); });

// Runs job on a thread of its own; false when it has not returned within timeoutMs (it is
// then left running, so that a call that would block for ever fails the test instead of
// hanging it).
bool RunWithin(const std::function<void()>& job, DWORD timeoutMs);

// Runs up to 1000 of the thread's messages as the dialogs' loops do (AfxPreTranslateMessage
// first), waiting up to waitMs for the first; a WM_QUIT stays queued for QuitWasPosted.
void PumpMessages(DWORD waitMs);
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    return WaitUntil(done, timeoutMs, [] { PumpMessages(20); });
}
inline void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}
// Takes a queued WM_QUIT off the queue; false when there is none.
bool QuitWasPosted();

// A child process started with CreateProcessA; killed if still running at the end.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool Start(const std::string& exe, const std::string& tail, const std::string& workDir = "");
    // The exit code, or -1 when the process has not ended within timeoutMs.
    long Wait(DWORD timeoutMs);
    // Ends the launcher's run as its own Quit does: a quit message to its UI thread.
    void PostQuit() const { PostThreadMessageA(m_info.dwThreadId, WM_QUIT, 0, 0); }
    DWORD pid() const { return m_info.dwProcessId; }

private:
    PROCESS_INFORMATION m_info{};
};

// The launcher's main window (layered, with a taskbar button; visible or not) of
// process pid, or null.
HWND FindMainWindow(DWORD pid);
// Windows of process pid on the desktop, visible or not.
std::vector<HWND> TopLevelWindows(DWORD pid);

struct MessageBoxSeen {
    HWND window = nullptr;
    std::string title, text;
};
// Waits for a message box (#32770) of process pid; false after timeoutMs.
bool WaitForMessageBox(DWORD pid, MessageBoxSeen& seen, DWORD timeoutMs);
void PressOk(const MessageBoxSeen& box);

// A folder (made if missing) holding a copy of the launcher, named exe, and a qxconfig.ini.
class LauncherFolder {
public:
    LauncherFolder() = default;
    explicit LauncherFolder(const std::string& path, const std::string& config = "pkgName=qxgame\r\n",
                            const std::string& exe = "VorlanClient.exe");
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }
    void Write(const std::string& name, const std::string& bytes) const { WriteFileBytes(*this / name, bytes); }
    std::string Read(const std::string& name) const { return ReadFileBytes(*this / name); }
    std::vector<std::string> Messages(const std::string& log = "log.log") const { return LogMessages(*this / log); }
    // Started in currentFolder, or in the launcher's own folder while that is empty.
    bool Start(Process& launcher, const std::string& tail) const
    {
        return launcher.Start(*this / m_exe, tail, currentFolder.empty() ? m_path : currentFolder);
    }
    // Runs the launcher to its end (-1 when it has not ended in 30 s), answering each message
    // box with OK and keeping its "title|text" in boxes.  While the main window shows and no
    // box does, onWindow is called with it every 100 ms; without one, the run is ended.
    long Run(const std::string& tail, const std::function<void(HWND)>& onWindow = nullptr);

    std::vector<std::string> boxes;
    std::string currentFolder;

private:
    std::string m_path, m_exe;
};

}  // namespace vt
