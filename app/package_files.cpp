#include "app/package_files.h"

#include "afx/afxfile.h"
#include "app/config.h"
#include "base/log.h"
#include "app/version.h"
#include "base/safe_name.h"

int ReadLocalPkgVersion(CString name)
{
    CStdioFile file;
    if (!file.Open(CConfig::GetInstance()->GetExeDir() + name, CFile::modeRead | CFile::typeText))
        return 0;
    int version = 0;
    CString line;
    while (file.ReadString(line))
        version = ParseLeadingInt(line);
    return version;
}

bool WritePkgVersion(int version, DWORD& error)
{
    WriteLog("写入版本号：%d", version);
    const CString path = CConfig::GetInstance()->GetExeDir() + "\\pkg.ver";
    const CString partPath = path + ".writing";
    CString digits;
    digits.Format("%d", version);
    CFile file;
    bool written = file.Open(partPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive) &&
                   file.Write(digits.GetString(), digits.GetLength());
    error = written ? 0 : GetLastError();
    file.Close();
    if (written && !MoveFileExA(partPath, path, MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        written = false;
    }
    if (!written)
        DeleteFileA(partPath);
    return written;
}

bool DeleteDirectory(CString dir)
{
    if (dir.IsEmpty())
        return true;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(dir + "\\*.*", &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const CString name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const CString child = dir + "\\" + name;
            const DWORD attributes = found.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link: only the link goes; its target lies elsewhere and stays.
                if (!RemoveDirectoryA(child))
                    DeleteFileA(child);
                continue;
            }
            SetFileAttributesA(child, FILE_ATTRIBUTE_NORMAL);
            if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteDirectory(child);
            else
                DeleteFileA(child);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir);
    return GetFileAttributesA(dir) == INVALID_FILE_ATTRIBUTES;
}

bool IsSafePackageName(const CString& name)
{
    return IsSafeFileName(name.str());
}
