#include <windows.h>

#include "app/vorlan_app.h"

CString OSNameFromVersion(unsigned major, unsigned minor)
{
    struct Entry {
        unsigned major, minor;
        const char* name;
    };
    static const Entry kNames[] = {
        {5, 0, "Windows 2000"}, {5, 1, "Windows XP"}, {5, 2, "Windows 2003"}, {6, 0, "Windows Vista"},
        {6, 1, "Windows 7"},    {6, 2, "Windows 8"},  {6, 3, "Windows 8.1"},  {10, 0, "Windows 10"},
    };
    for (const Entry& entry : kNames) {
        if (entry.major == major && entry.minor == minor)
            return entry.name;
    }
    return "OS_UNKNOWN";
}

// The process environment block holds the real version numbers, which the
// version functions would hide from a program without a compatibility manifest.
CString GetOSName()
{
    const BYTE* peb = nullptr;
    __asm__("movl %%fs:0x30, %0" : "=r"(peb));
    const ULONG major = *reinterpret_cast<const ULONG*>(peb + 0xA4);
    const ULONG minor = *reinterpret_cast<const ULONG*>(peb + 0xA8);
    return OSNameFromVersion(major, minor);
}
