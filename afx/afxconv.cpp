#include "afx/afxconv.h"

#include <vector>

namespace {
// The program's 8-bit text is in the thread's ANSI code page.
constexpr UINT kAnsiCodePage = CP_THREAD_ACP;
}  // namespace

CString AfxW2A(const wchar_t* text)
{
    if (!text || !*text)
        return CString();
    const int count = WideCharToMultiByte(kAnsiCodePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (count <= 1)
        return CString();
    std::vector<char> narrow(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(kAnsiCodePage, 0, text, -1, narrow.data(), count, nullptr, nullptr);
    return CString(narrow.data(), count - 1);
}

std::wstring AfxA2W(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    const int count = MultiByteToWideChar(kAnsiCodePage, 0, text, -1, nullptr, 0);
    if (count <= 1)
        return std::wstring();
    std::vector<wchar_t> wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(kAnsiCodePage, 0, text, -1, wide.data(), count);
    return std::wstring(wide.data(), static_cast<size_t>(count - 1));
}

BSTR AfxA2Bstr(const char* text)
{
    const std::wstring wide = AfxA2W(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}
