#include "app/version.h"

#include <windows.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "afx/afxwin.h"

namespace {
// Reads every translation's FileVersion of the running executable, joined.
// Gives false when the executable has no version resource.
bool ReadFileVersion(CString& result)
{
    result.Empty();
    CString path = AfxGetModuleFilePath(200);
    if (path.IsEmpty())
        return false;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(path, 0, size, block.data()))
        return true;

    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &bytes))
        bytes = 0;
    for (UINT i = 0; i < bytes / sizeof(Translation); ++i) {
        char query[64];
        std::snprintf(query, sizeof(query), "\\StringFileInfo\\%04x%04x\\FileVersion", translations[i].language,
                      translations[i].codePage);
        char* value = nullptr;
        UINT length = 0;
        if (VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &length) && value)
            result += value;
    }
    return true;
}
}  // namespace

CString GetExeFileVersion()
{
    CString version;
    ReadFileVersion(version);
    return version;
}

CString GetAppVersionText()
{
    CString version;
    if (!ReadFileVersion(version))
        return "error";
    return version;
}

int ParseLeadingInt(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    unsigned value = 0;
    while (*text >= '0' && *text <= '9')
        value = value * 10u + static_cast<unsigned>(*text++ - '0');
    return static_cast<int>(negative ? 0u - value : value);
}

int VersionToNumber(const char* text)
{
    CString version(text);
    unsigned parts[4] = {};
    int start = 0;
    for (int i = 0; i < 4 && start >= 0; ++i) {
        int dot = version.Find('.', start);
        CString part = dot >= 0 ? version.Mid(start, dot - start) : version.Mid(start);
        parts[i] = static_cast<unsigned>(ParseLeadingInt(part));
        start = dot >= 0 ? dot + 1 : -1;
    }
    unsigned number = ((parts[0] * 100u + parts[1]) * 1000u + parts[2]) * 100u + parts[3];
    return static_cast<int>(number);
}

int GetLocalTimeSeconds()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (now.wYear < 1900)
        return 0;
    struct tm local {};
    local.tm_year = now.wYear - 1900;
    local.tm_mon = now.wMonth - 1;
    local.tm_mday = now.wDay;
    local.tm_hour = now.wHour;
    local.tm_min = now.wMinute;
    local.tm_sec = now.wSecond;
    local.tm_isdst = -1;
    return static_cast<int>(static_cast<long long>(mktime(&local)));
}
