#include "tests/support/test_support.h"

#include <fstream>
#include <sstream>

namespace vt {

std::string ExeDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path);
    return full.substr(0, full.find_last_of('\\'));
}

std::string LauncherExe()
{
    return ExeDir() + "\\VorlanClient.exe";
}

TempDir::TempDir(const std::string& nameHint)
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::ostringstream name;
        name << base << nameHint << "_" << GetCurrentProcessId() << "_" << InterlockedIncrement(&counter);
        if (CreateDirectoryA(name.str().c_str(), nullptr)) {
            m_path = name.str();
            return;
        }
    }
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool CopyFileTo(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::vector<std::string> ReadCrLfLines(const std::string& path)
{
    std::string bytes = ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> LogMessages(const std::string& path)
{
    std::vector<std::string> messages;
    for (const std::string& line : ReadCrLfLines(path)) {
        const size_t prefixEnd = line.find("> ");
        if (!line.empty() && line[0] == '<' && prefixEnd != std::string::npos)
            messages.push_back(line.substr(prefixEnd + 2));
    }
    return messages;
}

bool Contains(const std::vector<std::string>& messages, const std::string& message)
{
    for (const std::string& m : messages) {
        if (m == message)
            return true;
    }
    return false;
}

Process::~Process()
{
    if (m_info.hProcess) {
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_info.hProcess, 99);
            WaitForSingleObject(m_info.hProcess, 5000);
        }
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
    }
}

bool Process::Start(const std::string& exe, const std::string& tail, const std::string& workDir)
{
    std::string commandLine = "\"" + exe + "\"";
    if (!tail.empty())
        commandLine += " " + tail;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &startup, &m_info) != 0;
}

long Process::Wait(DWORD timeoutMs)
{
    if (!m_info.hProcess || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    return static_cast<long>(code);
}

long Process::WaitOrQuitAtWindow(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (Wait(0) != -1)
            return Wait(0);
        if (FindMainWindow(pid())) {
            PostQuit();
            return Wait(timeoutMs);
        }
        Sleep(50);
    }
    return -1;
}

namespace {
struct WindowSearch {
    DWORD pid;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid)
        search->found->push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid)
{
    std::vector<HWND> windows;
    WindowSearch search{pid, &windows};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return windows;
}

HWND FindMainWindow(DWORD pid)
{
    for (HWND window : TopLevelWindows(pid)) {
        const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
        if ((exStyle & WS_EX_LAYERED) && (exStyle & WS_EX_APPWINDOW))
            return window;
    }
    return nullptr;
}

namespace {
struct BoxSearch {
    DWORD pid;
    MessageBoxSeen* seen;
};

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param)
{
    char className[32] = {};
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "Static") == 0) {
        char text[1024] = {};
        GetWindowTextA(child, text, sizeof(text));
        if (text[0])
            reinterpret_cast<MessageBoxSeen*>(param)->text = text;
    }
    return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    // The launcher's own windows are dialogs too, but layered ones.
    if (owner != search->pid || lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window) ||
        (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED))
        return TRUE;
    char title[256] = {};
    GetWindowTextA(window, title, sizeof(title));
    search->seen->window = window;
    search->seen->title = title;
    EnumChildWindows(window, CollectStaticText, reinterpret_cast<LPARAM>(search->seen));
    return FALSE;
}
}  // namespace

bool WaitForMessageBox(DWORD pid, MessageBoxSeen& seen, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        seen = MessageBoxSeen{};
        BoxSearch search{pid, &seen};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (seen.window)
            return true;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

void PressOk(const MessageBoxSeen& box)
{
    HWND ok = GetDlgItem(box.window, IDOK);
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

}  // namespace vt
