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

void CString::AppendFormat(const char* format, ...)
{
    CString more;
    va_list args;
    va_start(args, format);
    more.FormatV(format, args);
    va_end(args);
    m_text += more.m_text;
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

CString CString::Right(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

int CString::Replace(const char* oldText, const char* newText)
{
    if (!oldText || !*oldText)
        return 0;
    const std::string replacement = newText ? newText : "";
    const size_t oldLength = std::strlen(oldText);
    std::string result;
    int replaced = 0;
    const char* text = m_text.c_str();
    int pos = 0;
    while (pos < GetLength()) {
        if (m_text.compare(pos, oldLength, oldText) == 0) {
            result += replacement;
            pos += static_cast<int>(oldLength);
            ++replaced;
            continue;
        }
        int step = AfxCharLength(text + pos);
        result.append(text + pos, static_cast<size_t>(step));
        pos += step;
    }
    m_text.swap(result);
    return replaced;
}

int CString::Replace(char oldCh, char newCh)
{
    const char oldBuf[2] = {oldCh, '\0'};
    const char newBuf[2] = {newCh, '\0'};
    return Replace(oldBuf, newBuf);
}

static bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

CString& CString::TrimLeft()
{
    size_t first = 0;
    while (first < m_text.size() && IsBlank(m_text[first]))
        ++first;
    m_text.erase(0, first);
    return *this;
}

CString& CString::TrimRight()
{
    size_t end = m_text.size();
    while (end > 0 && IsBlank(m_text[end - 1]))
        --end;
    m_text.resize(end);
    return *this;
}

CString& CString::Trim()
{
    TrimRight();
    return TrimLeft();
}

int CString::CompareNoCase(const char* other) const
{
    return lstrcmpiA(m_text.c_str(), other ? other : "");
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength));
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    m_text.resize(static_cast<size_t>(newLength));
}
