#include "app/package_files.h"

#include <shlwapi.h>

#include <string>
#include <vector>

#include "afx/afxfile.h"
#include "app/config.h"
#include "app/line_reader.h"
#include "base/log.h"
#include "app/version.h"
#include "base/safe_name.h"

namespace {
bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsLink(const CString& path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A link goes by itself: what it points to lies elsewhere and stays.
bool RemoveLink(const CString& link)
{
    return RemoveDirectoryA(link) || DeleteFileA(link);
}

void LogLeftBehind(const CString& path, DWORD error)
{
    WriteLog("删除旧游戏包失败：%s，错误码：%d", path.GetString(), static_cast<int>(error));
}

// Marks a file opened for deletion to go when closed, read-only or not; or unmarks it.
bool MarkForDeletion(HANDLE file, BOOLEAN deleteIt)
{
    FILE_BASIC_INFO normal{};  // times of 0 stay as they are
    normal.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    FILE_DISPOSITION_INFO disposition{deleteIt};
    return (!deleteIt || SetFileInformationByHandle(file, FileBasicInfo, &normal, sizeof(normal))) &&
           SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
}

// Deletes those of paths that exist, all of them or none.  Each is first opened for
// deletion without sharing, which fails while another program holds it and keeps any
// other from opening it until the handles close; closing deletes those marked.  One that
// refuses its mark (an exe a process runs from) unmarks those before it.  On failure,
// refused names the path that stays and error says why.
bool DeleteAllOrNone(const std::vector<CString>& paths, CString& refused, DWORD& error)
{
    std::vector<std::pair<HANDLE, CString>> taken;
    bool deletable = true;
    for (const CString& path : paths) {
        HANDLE file = CreateFileA(path, DELETE | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        const DWORD openError = GetLastError();
        if (file != INVALID_HANDLE_VALUE) {
            taken.emplace_back(file, path);
        } else if (!IsMissing(openError)) {
            refused = path;
            error = openError;
            deletable = false;
            break;
        }
    }
    size_t marked = 0;
    while (deletable && marked < taken.size() && MarkForDeletion(taken[marked].first, TRUE))
        ++marked;
    if (deletable && marked < taken.size()) {
        refused = taken[marked].second;
        error = GetLastError();
        deletable = false;
        while (marked > 0)
            MarkForDeletion(taken[--marked].first, FALSE);
    }
    for (const auto& file : taken)
        CloseHandle(file.first);
    return deletable;
}
}  // namespace

bool ReadLocalPkgVersion(CString name, int& version, DWORD& error)
{
    version = 0;
    // Shared with every other reader and writer: a program that merely looks at pkg.ver
    // must not make the installed package look unversioned.
    CFile file;
    if (!file.Open(CConfig::GetInstance()->GetExeDir() + name,
                   CFile::modeRead | CFile::shareDenyNone | CFile::shareAllowDelete)) {
        error = file.m_lastError;
        return IsMissing(error);
    }
    // A version file is a few digits; the reader bounds the memory of any other.
    CLineReader().ReadOn(file, file.GetLength(), [&version](const std::string& line) {
        version = ParseLeadingInt(line.c_str());
        return false;
    });
    error = file.m_lastError;
    if (error != 0)
        version = 0;
    return error == 0;
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
    if (IsLink(dir))
        return RemoveLink(dir);
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
                RemoveLink(child);
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

bool DeleteOutdatedPackage(const CString& packageFolder, const CString& archive, const CString& gameExe)
{
    // Through a package folder that is a link the game exe lies elsewhere and stays.
    std::vector<CString> mustGo{archive};
    if (!IsLink(packageFolder))
        mustGo.insert(mustGo.begin(), gameExe);
    const bool deleted = RetryWhileHeld([&mustGo](bool lastTry) {
        CString refused;
        DWORD error = 0;
        if (DeleteAllOrNone(mustGo, refused, error))
            return true;
        if (lastTry)
            LogLeftBehind(refused, error);
        return false;
    });
    if (!deleted)
        return false;
    // Other leftovers are overwritten or ignored by the new package.
    if (!DeleteDirectory(packageFolder))
        LogLeftBehind(packageFolder, GetLastError());
    return !PathFileExistsA(gameExe);
}

bool IsSafePackageName(const CString& name)
{
    return IsSafeFileName(name.str()) && name.str().back() != '.' && name.str().back() != ' ';
}
