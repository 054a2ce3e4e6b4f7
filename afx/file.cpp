#include "afx/afxfile.h"

#include <share.h>

namespace {
DWORD ShareFlags(UINT openFlags)
{
    switch (openFlags & 0x70) {
    case CFile::shareExclusive: return 0;
    case CFile::shareDenyWrite: return FILE_SHARE_READ;
    case CFile::shareDenyRead: return FILE_SHARE_WRITE;
    case CFile::shareDenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: return 0;  // compatibility mode: no sharing
    }
}

int RuntimeShareMode(UINT openFlags)
{
    switch (openFlags & 0x70) {
    case CFile::shareDenyWrite: return _SH_DENYWR;
    case CFile::shareDenyRead: return _SH_DENYRD;
    case CFile::shareDenyNone: return _SH_DENYNO;
    default: return _SH_DENYRW;
    }
}
}  // namespace

BOOL CFile::Open(const char* fileName, UINT openFlags)
{
    Close();
    DWORD access = GENERIC_READ;
    if ((openFlags & 3) == modeWrite)
        access = GENERIC_WRITE;
    else if ((openFlags & 3) == modeReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if (openFlags & modeCreate)
        disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    const DWORD share = ShareFlags(openFlags) | ((openFlags & shareAllowDelete) ? FILE_SHARE_DELETE : 0);
    m_hFile = CreateFileA(fileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_lastError = IsOpen() ? 0 : GetLastError();
    return IsOpen();
}

void CFile::Close()
{
    if (IsOpen())
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!IsOpen())
        return 0;
    if (!ReadFile(m_hFile, buffer, count, &read, nullptr)) {
        m_lastError = GetLastError();
        return 0;
    }
    return read;
}

BOOL CFile::Write(const void* buffer, UINT count)
{
    DWORD written = 0;
    if (!IsOpen() || !WriteFile(m_hFile, buffer, count, &written, nullptr))
        return FALSE;
    if (written == count)
        return TRUE;
    // WriteFile succeeds on a write cut short and leaves the error code of an earlier
    // call: name the one cause a file has for it.
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size{};
    if (!IsOpen() || !GetFileSizeEx(m_hFile, &size))
        return 0;
    return static_cast<ULONGLONG>(size.QuadPart);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER distance{}, position{};
    distance.QuadPart = offset;
    if (!IsOpen() || !SetFilePointerEx(m_hFile, distance, &position, from))
        return static_cast<ULONGLONG>(-1);
    return static_cast<ULONGLONG>(position.QuadPart);
}

BOOL CFile::SetLength(ULONGLONG length)
{
    if (Seek(static_cast<LONGLONG>(length), begin) != length)
        return FALSE;
    return SetEndOfFile(m_hFile);
}

BOOL CStdioFile::Open(const char* fileName, UINT openFlags)
{
    Close();
    const bool binary = (openFlags & typeBinary) != 0;
    const char* mode = nullptr;
    switch (openFlags & 3) {
    case modeWrite: mode = (openFlags & modeNoTruncate) ? "a" : "w"; break;
    case modeReadWrite: mode = (openFlags & modeCreate) && !(openFlags & modeNoTruncate) ? "w+" : "r+"; break;
    default: mode = "r"; break;
    }
    char fullMode[4] = {mode[0], mode[1], '\0', '\0'};
    fullMode[mode[1] ? 2 : 1] = binary ? 'b' : 't';
    m_stream = _fsopen(fileName, fullMode, RuntimeShareMode(openFlags));
    m_lastError = m_stream ? 0 : GetLastError();
    return m_stream != nullptr;
}

void CStdioFile::Close()
{
    if (m_stream)
        fclose(m_stream);
    m_stream = nullptr;
}

BOOL CStdioFile::ReadString(CString& line)
{
    line.Empty();
    if (!m_stream)
        return FALSE;
    std::string text;
    int ch = 0;
    bool any = false;
    while ((ch = fgetc(m_stream)) != EOF) {
        any = true;
        if (ch == '\n')
            break;
        text += static_cast<char>(ch);
    }
    line = text;
    return any;
}
