#include "afx/afxstr.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

int AfxCharLength(const char* text)
{
    if (text[0] != '\0' && IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1] != '\0')
        return 2;
    return 1;
}

void CString::FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) {
        m_text.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    m_text.assign(buffer.data(), static_cast<size_t>(needed));
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

int CString::Find(char ch, int start) const
{
    const char buf[2] = {ch, '\0'};
    return Find(buf, start);
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    const size_t subLength = std::strlen(sub);
    const char* text = m_text.c_str();
    for (int pos = start; pos <= GetLength(); pos += AfxCharLength(text + pos)) {
        if (m_text.compare(pos, subLength, sub) == 0)
            return pos;
        if (pos == GetLength())
            break;
    }
    return -1;
}

int CString::ReverseFind(char ch) const
{
    int found = -1;
    const char* text = m_text.c_str();
    for (int pos = 0; pos < GetLength(); pos += AfxCharLength(text + pos)) {
        if (text[pos] == ch)
            found = pos;
    }
    return found;
}

CString CString::Left(int count) const
{
    if (count <= 0)
        return CString();
    return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (first >= GetLength() || count <= 0)
        return CString();
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

