#include "tests/support/test_support.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <thread>

#include "afx/afxwnd.h"

namespace vt {

std::string ExeDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, std::strrchr(path, '\\'));
}

TempDir::TempDir(const std::string& nameHint)
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    m_path = base + nameHint + "_" + std::to_string(GetCurrentProcessId()) + "_" +
             std::to_string(InterlockedIncrement(&counter));
    RemoveTree(m_path);  // left by an earlier process of the same id
    CreateDirectoryA(m_path.c_str(), nullptr);
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        const std::string name = found.cFileName, child = path + "\\" + name;
        if (name == "." || name == "..")
            continue;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(child);
        else
            DeleteFileA(child.c_str());
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    RemoveDirectoryA(path.c_str());
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::string> ReadCrLfLines(const std::string& path)
{
    const std::string bytes = ReadFileBytes(path);
    std::vector<std::string> lines;
    for (size_t start = 0, end = 0; start < bytes.size(); start = end + 2) {
        end = std::min(bytes.find("\r\n", start), bytes.size());
        lines.push_back(bytes.substr(start, end - start));
    }
    return lines;
}

std::string Letters(size_t count)
{
    std::string text;
    while (text.size() < count)
        text += "abcdefghijklmnopqrstuvwxyz";
    return text.substr(0, count);
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

bool LogHasInOrder(const std::string& path, const std::vector<std::string>& texts)
{
    size_t next = 0;
    for (const std::string& message : LogMessages(path))
        next += next < texts.size() && message.find(texts[next]) != std::string::npos;
    return next == texts.size();
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, const std::function<void()>& pause)
{
    for (const DWORD start = GetTickCount();; pause()) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
    }
}

bool RunWithin(const std::function<void()>& job, DWORD timeoutMs)
{
    auto ended = std::make_shared<std::promise<void>>();
    std::future<void> done = ended->get_future();
    std::thread([job, ended] { job(), ended->set_value(); }).detach();
    return done.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
}

void PumpMessages(DWORD waitMs)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT)
            return PostQuitMessage(static_cast<int>(msg.wParam));  // left for QuitWasPosted
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool QuitWasPosted()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

Process::~Process()
{
    if (!m_info.hProcess)
        return;
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_info.hProcess, 99);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
    CloseHandle(m_info.hProcess);
    CloseHandle(m_info.hThread);
}

bool Process::Start(const std::string& exe, const std::string& tail, const std::string& workDir)
{
    std::string commandLine = "\"" + exe + "\"" + (tail.empty() ? "" : " " + tail);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &startup, &m_info) != 0;
}

long Process::Wait(DWORD timeoutMs)
{
    DWORD code = 0;
    if (!m_info.hProcess || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    GetExitCodeProcess(m_info.hProcess, &code);
    return static_cast<long>(code);
}

std::vector<HWND> TopLevelWindows(DWORD pid)
{
    std::vector<HWND> windows;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, nullptr, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            windows.push_back(window);
    }
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

bool WaitForMessageBox(DWORD pid, MessageBoxSeen& seen, DWORD timeoutMs)
{
    return WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(pid)) {
                char className[32] = {}, title[256] = {}, text[1024] = {};
                GetClassNameA(window, className, sizeof(className));
                // The launcher's own windows are dialogs too, but layered ones.
                if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window) ||
                    (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED))
                    continue;
                GetWindowTextA(window, title, sizeof(title));
                GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));  // a message box's text control
                seen = MessageBoxSeen{window, title, text};
                return true;
            }
            return false;
        },
        timeoutMs, [] { Sleep(50); });
}

void PressOk(const MessageBoxSeen& box)
{
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.window, IDOK)));
}

LauncherFolder::LauncherFolder(const std::string& path, const std::string& config, const std::string& exe)
    : m_path(path), m_exe(exe)
{
    CreateDirectoryA(m_path.c_str(), nullptr);
    CopyFileTo(ExeDir() + "\\VorlanClient.exe", *this / m_exe);
    Write("qxconfig.ini", config);
}

long LauncherFolder::Run(const std::string& tail, const std::function<void(HWND)>& onWindow)
{
    boxes.clear();
    Process launcher;
    if (!Start(launcher, tail))
        return -2;
    HWND answered = nullptr;  // a busy box may still show 100 ms after its OK
    WaitUntil(
        [&] {
            MessageBoxSeen box;
            if (WaitForMessageBox(launcher.pid(), box, 0)) {
                if (box.window != answered)
                    boxes.push_back(box.title + "|" + box.text);
                PressOk(box);
                answered = box.window;
            } else if (HWND window = FindMainWindow(launcher.pid())) {
                onWindow ? onWindow(window) : launcher.PostQuit();
            }
            return launcher.Wait(0) != -1;
        },
        2 * kWineWaitMs, [] { Sleep(100); });
    return launcher.Wait(0);
}

}  // namespace vt
