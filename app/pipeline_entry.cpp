// The page's way into the pipeline, and the minimum package version from shellcfg.ini.
#include "app/config.h"
#include "base/log.h"
#include "app/pipeline_common.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

namespace {
constexpr int kShellConfigTask = 0;

void ShowWaitingState(int showCheckText, int showLoadText)
{
    if (IContentDlg* content = PipelineContent())
        content->ShowProgressUI(SW_SHOW, showCheckText, showLoadText, SW_HIDE);
}
}  // namespace

void CVorlanClientApp::OpenGameWindow(CString szTitle, CString szUrl)
{
    const CString testUrl = CConfig::GetInstance()->GetValue("testkey");
    if (!testUrl.IsEmpty()) {
        WriteLog("testUrl = %s", testUrl.GetString());
        szUrl = testUrl;
    }
    WriteLog("OpenGameWindow, szTitle = %s, szUrl = %s", szTitle.GetString(), szUrl.GetString());
    ReportQOS(2, "opengame");
    if (szUrl.IsEmpty())
        return;
    if (IsRunEnding()) {
        WriteLog("正在退出，不再打开游戏");
        return;
    }
    gameTitle = szTitle;
    gameUrl = szUrl;
    if (isQueryingMin) {
        WriteLog("正在查询最低版本，等待");
        ShowWaitingState(SW_SHOW, SW_HIDE);
    } else if (!isDownloadingPkg && !isUnzippingPkg) {
        WriteLog("直接检查游戏包");
        QueryMinVersion();
    } else {
        WriteLog("正在下载游戏包，等待");
        ShowWaitingState(SW_HIDE, SW_SHOW);
    }
}

void CVorlanClientApp::QueryMinVersion()
{
    KillPipelineTimer(kTimerMinVersion);
    if (IsRunEnding())
        return;
    if (isQueryingMin || isDownloadingPkg || isUnzippingPkg) {
        WriteLog("已经在检查游戏包了：isQueryingMin = %d, isDownloadingPkg = %d, isUnzippingPkg = %d", isQueryingMin,
                 isDownloadingPkg, isUnzippingPkg);
        return;
    }
    if (minver != 0) {
        CheckGamePackage();
        return;
    }
    ReportQOS(3, "startquerymin");
    isQueryingMin = 1;
    const CString url = FormatConfiguredValue("shellcfgURL", "d", static_cast<int>(GetTickCount()));
    // Fetched under a temporary name: a cut transfer must never be read as a smaller minver.
    StartDownload(url, ShellConfigPath() + g_strDownloadingSuffix, kShellConfigTask, "游戏版本配置文件");
}

void CVorlanClientApp::OnMinVersionDownloaded()
{
    isQueryingMin = 0;
    const CString shellConfig = WithoutDownloadingSuffix(savePath);
    DWORD error = 0;
    if (!progress->errorText.empty()) {
        // The earlier shellcfg.ini, if any, stays the one that counts.
        DeleteFileA(savePath);
        ReportQOS(5, "queryminerr");
    } else {
        if (!CommitDownloadedFile(savePath, error))
            WriteLog("保存%s失败，错误码：%d，沿用原文件", shellConfig.GetString(), static_cast<int>(error));
        WriteLog("最低版本查询结束");
    }
    minver = ParseLeadingInt(GetIniString(shellConfig, "game", "minver"));
    WriteLog("在线获取最低版本为%d", minver);
    if (minver == 0)
        minver = ParseLeadingInt(CConfig::GetInstance()->GetValue("minver"));
    CheckGamePackage();
}
