// The package check: nothing to do, an archive to unpack, or a package to download.
#include <shlwapi.h>

#include "app/config.h"
#include "base/log.h"
#include "app/package_files.h"
#include "app/pipeline_common.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

namespace {
constexpr int kGamePackageTask = 1;

// The pkg setting, then "?ver=" and the tick count (also after a "?" it holds), with
// every "{0}" replaced by the minimum version in at least five digits.
CString GamePackageUrl(int minver)
{
    CString url;
    url.Format("%s?ver=%d", CConfig::GetInstance()->GetValue("pkg").GetString(), static_cast<int>(GetTickCount()));
    CString version;
    version.Format("%05d", minver);
    const char kPlaceholder[] = "{0}";
    CString result;
    int start = 0;
    for (int found = url.Find(kPlaceholder); found >= 0; found = url.Find(kPlaceholder, start)) {
        result += url.Mid(start, found - start) + version;
        start = found + static_cast<int>(sizeof(kPlaceholder)) - 1;
    }
    return result + url.Mid(start);
}

// pkg.ver held by another program is tried again for about a second before the run
// gives up on it.
bool ReadPkgVersionWithRetries(int& version, DWORD& error)
{
    return RetryWhileHeld([&](bool) { return ReadLocalPkgVersion("\\pkg.ver", version, error); });
}
}  // namespace

void CVorlanClientApp::CheckGamePackage()
{
    if (IsRunEnding())
        return;
    CConfig* config = CConfig::GetInstance();
    int local = 0;
    DWORD readError = 0;
    if (!ReadPkgVersionWithRetries(local, readError)) {
        // An unknown version is no old one: the installed package stays as it is.
        WriteLog("版本文件pkg.ver读取失败，错误码：%d", static_cast<int>(readError));
        CString text;
        text.Format("版本文件pkg.ver读取失败，请关闭占用它的程序后重新打开微端（错误码：%d）", static_cast<int>(readError));
        ShowFailureBox(text);
        Quit();
        return;
    }
    WriteLog("本地版本为%d，最低版本为%d", local, minver);

    const CString pkgName = ConfiguredPackageName();
    if (pkgName.IsEmpty()) {
        ShowFailureBox("微端配置错误（pkgName），请重新下载安装");
        Quit();
        return;
    }
    const CString exeDir = config->GetExeDir();
    const CString archive = exeDir + "\\" + pkgName + ".pkg";
    if (local != minver) {
        WriteLog("本地pkg已过期，删除重下");
        if (!DeleteOutdatedPackage(exeDir + "\\" + pkgName, archive, config->GetGameExePath())) {
            ShowFailureBox("旧版本游戏包删除失败，请关闭游戏后重新打开微端");
            Quit();
            return;
        }
    }
    // Unpacking deletes the archive only once it has finished: an archive still there
    // means a run ended while unpacking, and the game exe beside it may be whole while
    // other files are missing or cut short.  Unless this run has seen the package whole:
    // then the archive is one it could not delete, and the game may run from the package.
    if (!isGameInstalled && PathFileExistsA(archive)) {
        WriteLog("zip已下载，直接解压游戏包");
        UnzipGamePackage(archive);
        return;
    }
    if (PathFileExistsA(config->GetGameExePath())) {
        isGameInstalled = 1;
        WriteLog("游戏已安装");
        OnGameReady();
        return;
    }

    if (IContentDlg* content = PipelineContent())
        content->ShowProgressUI(SW_SHOW, SW_HIDE, SW_SHOW, SW_HIDE);
    const CString url = GamePackageUrl(minver);
    DWORD error = 0;
    if (!WritePkgVersion(minver, error)) {
        CString text;
        text.Format("版本文件pkg.ver写入失败，请检查微端目录能否写入（错误码：%d）", static_cast<int>(error));
        ShowFailureBox(text);
        Quit();
        return;
    }
    ReportQOS(10, "startdownload");
    WriteLog("开始下载游戏包");
    isDownloadingPkg = 1;
    StartDownload(url, archive + g_strDownloadingSuffix, kGamePackageTask, "游戏包");
}

void CVorlanClientApp::OnGamePackageDownloaded()
{
    isDownloadingPkg = 0;
    if (!progress->errorText.empty()) {
        ReportQOS(12, "downloaderr");
        ShowFailureBox(progress->errorText);
        Quit();
        return;
    }
    WriteLog("%s下载结束，重命名", taskName.GetString());
    const CString archive = WithoutDownloadingSuffix(savePath);
    DWORD error = 0;
    if (!CommitDownloadedFile(savePath, error)) {
        CString text;
        text.Format("游戏包保存失败：%s（错误码：%d）", archive.GetString(), static_cast<int>(error));
        ReportQOS(12, "downloaderr");
        ShowFailureBox(text);
        Quit();
        return;
    }
    ReportQOS(11, "finishdownload");
    UnzipGamePackage(archive);
}
