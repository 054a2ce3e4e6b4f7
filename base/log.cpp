#include "base/log.h"

#include <windows.h>

#include <share.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace {
// The file every line goes to; "log.txt" until LogInit names the real one.  It is
// never destroyed: a download worker that is still ending while the process exits
// may write one more line after the static objects are gone.
std::string& LogPath()
{
    static std::string* path = new std::string("log.txt");
    return *path;
}

constexpr char kBanner[] = "=====================start=====================\n";
constexpr size_t kMessageBufferSize = 4096;
constexpr size_t kMessageRoom = kMessageBufferSize - 1;  // formatting may use 4095 bytes with the zero

// 1 until the log has been opened once in this run; taken by atomic exchange.
volatile LONG g_firstOpening = 1;

// Opened without sharing: a line written at the same moment by another thread
// fails to open and is dropped rather than interleaved.
FILE* OpenLog(const char* mode)
{
    return _fsopen(LogPath().c_str(), mode, _SH_DENYRW);
}
}  // namespace

void LogInit(const char* path, bool keepExisting)
{
    LogPath() = path;
    InterlockedExchange(&g_firstOpening, 0);
    FILE* file = OpenLog(keepExisting ? "a" : "w");
    if (!file)
        return;
    fputs(kBanner, file);
    fclose(file);
}

CString WriteLog(const char* format, ...)
{
    char message[kMessageBufferSize] = {};
    va_list args;
    va_start(args, format);
    // vsnprintf never writes past the room it is given and always ends with a zero,
    // so a longer message is cut at 4094 bytes.
    std::vsnprintf(message, kMessageRoom, format, args);
    va_end(args);

    char prefix[64] = {};
    time_t now = time(nullptr);
    struct tm local {};
    if (localtime_s(&local, &now) == 0)
        strftime(prefix, sizeof(prefix), "<%Y-%m-%d %H:%M:%S> ", &local);

    const bool first = InterlockedExchange(&g_firstOpening, 0) == 1;
    if (FILE* file = OpenLog(first ? "w" : "a")) {
        fputs(prefix, file);
        fputs(message, file);
        fputs("\n", file);
        fflush(file);
        fclose(file);
    }
    return CString(message);
}
