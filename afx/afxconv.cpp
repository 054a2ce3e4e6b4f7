#include "afx/afxconv.h"

#include <vector>

CString AfxW2A(const wchar_t* text)
{
    if (!text || !*text)
        return CString();
    const int count = WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (count <= 1)
        return CString();
    std::vector<char> narrow(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, narrow.data(), count, nullptr, nullptr);
    return CString(narrow.data(), count - 1);
}

BSTR AfxA2Bstr(const char* text)
{
    if (!text)
        text = "";
    const int count = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (count <= 1)
        return SysAllocString(L"");
    std::vector<wchar_t> wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide.data(), count);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(count - 1));
}
