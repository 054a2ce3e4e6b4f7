#include "app/vorlan_app.h"

#include <commctrl.h>

#include "afx/afxfile.h"
#include "app/command_line.h"
#include "app/config.h"
#include "base/log.h"
#include "app/version.h"
#include "net/http_client.h"
#include "ui/main_dialog.h"
#include "ui/redirect_probe.h"

int g_bSimpleMode = 0;
int g_bHide = 0;

CVorlanClientApp* GetVorlanApp()
{
    return static_cast<CVorlanClientApp*>(AfxGetApp());
}

CVorlanClientApp::CVorlanClientApp()
{
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
    // Never freed: a worker still ending during the exit may write to it.
    progress = new CDownloadProgress;
}

CVorlanClientApp::~CVorlanClientApp() = default;

// The application object is destroyed among the other static objects, in an order
// that nothing fixes across files; a worker stopped only then could still use one
// that is already gone.  The destructor's stop stays as the guard for exits that skip this.
int CVorlanClientApp::ExitInstance()
{
    downloader.StopAllDownloads();
    return CWinApp::ExitInstance();
}

void CVorlanClientApp::RotateLog(const CString& exeDir)
{
    const CString logPath = exeDir + "\\log.log";
    const CString oldLogPath = exeDir + "\\oldLog.log";
    CString failure;
    if (CFile::Exists(oldLogPath) && !CFile::Remove(oldLogPath))
        failure.Format("删除%s失败，错误码：%lu", oldLogPath.GetString(), GetLastError());
    else if (CFile::Exists(logPath) && !CFile::Rename(logPath, oldLogPath))
        failure.Format("移动%s失败，错误码：%lu", logPath.GetString(), GetLastError());

    // When the previous log could not be moved aside, this run appends to it
    // rather than emptying it, and says why.
    LogInit(logPath, !failure.IsEmpty());
    if (!failure.IsEmpty())
        WriteLog("日志轮换失败，继续写入原日志：%s", failure.GetString());
}

BOOL CVorlanClientApp::InitInstance()
{
    CConfig* config = CConfig::GetInstance();
    const CString exeDir = config->GetExeDir();
    RotateLog(exeDir);
    config->Load("qxconfig.ini");

    osName = GetOSName();
    WriteLog("操作系统为：%s", osName.GetString());
    appVersion = GetExeFileVersion();
    WriteLog("微端版本号：%s", appVersion.GetString());
    cmdLine = m_lpCmdLine ? m_lpCmdLine : "";
    WriteLog("启动参数：%s", cmdLine);

    if (*cmdLine)
        ParseCommandLine(cmdLine);
    if (platform.empty()) {
        platform = ReadFirstLineOfFile("\\.env").str();
        WriteLog("没有指定平台，读取.env：%s", platform.c_str());
        if (platform.empty()) {
            MessageBoxA(nullptr, "请从游戏大厅或桌面快捷方式进入！", "启动参数错误", MB_OK);
            return FALSE;
        }
    }

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    qosStartAt = GetLocalTimeSeconds();
    g_pHttpClient = new CHttpClient();
    redirectProbe = new CRedirectProbe();
    if (!g_pMainDlg) {
        auto* dialog = new CVorlanClientDlg(nullptr);
        // The dialog's creation reads both modes, so they are set before it runs.
        g_bSimpleMode = simpleMode;
        g_bHide = hide;
        g_pMainDlg = dialog;
    }
    g_pMainDlg->DoModal();
    return FALSE;
}
