// Helpers shared by the test suites: scratch folders, files, processes, message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vt {

// Folder of the running test executable (the launcher exe is built beside it).
std::string ExeDir();
std::string LauncherExe();

// A fresh folder under the system's temp folder, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& nameHint = "vt");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

void RemoveTree(const std::string& path);
bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool CopyFileTo(const std::string& from, const std::string& to);
// Lines of a file, split at "\r\n" (a lone "\n" stays in the line).
std::vector<std::string> ReadCrLfLines(const std::string& path);

// The messages of a launcher log, without their "<date time> " prefix; the banner is no message.
std::vector<std::string> LogMessages(const std::string& path);
bool Contains(const std::vector<std::string>& messages, const std::string& message);

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
    // Waits until the process ends, or until its main window exists and then ends
    // the run with PostQuit; the exit code, or -1 after timeoutMs.
    long WaitOrQuitAtWindow(DWORD timeoutMs);
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
    std::string title;
    std::string text;
};
// Waits for a message box (#32770) of process pid; false after timeoutMs.
bool WaitForMessageBox(DWORD pid, MessageBoxSeen& seen, DWORD timeoutMs);
void PressOk(const MessageBoxSeen& box);

}  // namespace vt
