// Files with the open and share modes the launcher uses.  Failures are values:
// Open returns FALSE and leaves the error in GetLastError / m_lastError.
#pragma once

#include <windows.h>

#include <cstdio>

#include "afx/afxstr.h"

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        // The project's own addition: others may also delete or rename the file while it
        // is open (FILE_SHARE_DELETE).
        shareAllowDelete = 0x0080,
        modeNoTruncate = 0x1000,
        modeCreate = 0x1000 << 1,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    virtual ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    virtual BOOL Open(const char* fileName, UINT openFlags);
    virtual void Close();
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    // Bytes read (0 at the end or on an error; an error is left in m_lastError).
    UINT Read(void* buffer, UINT count);
    // TRUE only when every byte was written; a short write leaves ERROR_DISK_FULL in GetLastError.
    BOOL Write(const void* buffer, UINT count);
    ULONGLONG GetLength() const;
    ULONGLONG Seek(LONGLONG offset, UINT from);
    // Cuts or extends the file to length bytes and leaves the position at that end.
    BOOL SetLength(ULONGLONG length);

    static BOOL Remove(const char* fileName) { return DeleteFileA(fileName); }
    static BOOL Rename(const char* oldName, const char* newName) { return MoveFileA(oldName, newName); }
    static bool Exists(const char* fileName) { return GetFileAttributesA(fileName) != INVALID_FILE_ATTRIBUTES; }

    DWORD m_lastError = 0;

protected:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

// Line-oriented access over the C runtime's streams; text mode turns CR LF into LF.
class CStdioFile : public CFile {
public:
    CStdioFile() = default;
    ~CStdioFile() override { Close(); }

    BOOL Open(const char* fileName, UINT openFlags) override;
    void Close() override;

    // One line without its line end; FALSE at the end of the file.
    BOOL ReadString(CString& line);

private:
    FILE* m_stream = nullptr;
};
