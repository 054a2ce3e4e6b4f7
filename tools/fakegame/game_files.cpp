#include "tools/fakegame/game_files.h"

namespace fakegame {
namespace {

const char kNormalLog[] = "fakegame: engine starting\r\n"
                          "fakegame: graphics device ready\r\n"
                          "fakegame: scene loaded\r\n";
const char kGfxFailLog[] = "fakegame: engine starting\r\n"
                           "PlayerInitEngineGraphics: InitializeEngineGraphics failed\r\n"
                           "fakegame: giving up\r\n";

bool WriteAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

WriteResult ResultOfFailedOpen()
{
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED
               ? WriteResult::Busy
               : WriteResult::Failed;
}

// Creates or empties path with no sharing; the data folders are made first.
HANDLE CreateExclusive(const GameFolder& folder, const std::string& path)
{
    CreateDirectoryA(folder.DataDir().c_str(), nullptr);
    CreateDirectoryA((folder.DataDir() + "\\qxcmd").c_str(), nullptr);
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

WriteResult WriteExclusive(const GameFolder& folder, const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateExclusive(folder, path);
    if (file == INVALID_HANDLE_VALUE)
        return ResultOfFailedOpen();
    const bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
    CloseHandle(file);
    return written ? WriteResult::Done : WriteResult::Failed;
}

}  // namespace

GameFolder GameFolder::OfThisExe()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path);
    const size_t slash = full.find_last_of('\\');
    GameFolder folder;
    folder.exeDir = full.substr(0, slash);
    folder.pkgName = full.substr(slash + 1);
    const size_t dot = folder.pkgName.find_last_of('.');
    if (dot != std::string::npos)
        folder.pkgName.erase(dot);
    return folder;
}

std::string GameFolder::CommandFile(int cmdKey) const
{
    return DataDir() + "\\qxcmd\\" + std::to_string(cmdKey) + ".txt";
}

bool RecordStart(const GameFolder& folder, const std::string& commandLine, int showState)
{
    const std::string path = folder.File("fakegame_args.txt");
    const std::string temporary = path + ".tmp";
    HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool written = WriteAll(file, commandLine + "\r\n" + std::to_string(showState) + "\r\n");
    CloseHandle(file);
    return written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void RecordEvent(const GameFolder& folder, const std::string& line)
{
    HANDLE file = CreateFileA(folder.File("fakegame_events.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    WriteAll(file, line + "\r\n");
    CloseHandle(file);
}

WriteResult WriteOutputLog(const GameFolder& folder, bool gfxFail)
{
    return WriteExclusive(folder, folder.OutputLog(), gfxFail ? kGfxFailLog : kNormalLog);
}

WriteResult WriteCommandFile(const GameFolder& folder, int cmdKey, int sequence, const std::string& word)
{
    return WriteExclusive(folder, folder.CommandFile(cmdKey), std::to_string(sequence) + "\r\n" + word + "\r\n");
}

}  // namespace fakegame
