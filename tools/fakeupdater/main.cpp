// A stand-in autoupdate.exe for tests and the demo: it records the command line it
// was given, the folder it was started in and the words the C runtime split the command
// line into, beside its own executable, and ends.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path);
    return full.substr(0, full.find_last_of('\\'));
}

void WriteText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    // Line 1: the raw command line; line 2: the current folder; line 3: the runtime's
    // argv, each word in brackets.
    std::string words;
    for (int i = 0; i < __argc; ++i)
        words += "[" + std::string(__argv[i]) + "]";
    WriteText(OwnFolder() + "\\autoupdate_args.txt",
              std::string(GetCommandLineA()) + "\r\n" + current + "\r\n" + words + "\r\n");
    return 0;
}
