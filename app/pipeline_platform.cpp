// The platform's configuration file: loaded when present, fetched when missing, and
// only then the content dialog starts.
#include <shlwapi.h>

#include "app/config.h"
#include "base/log.h"
#include "base/safe_name.h"
#include "app/pipeline_common.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

namespace {
constexpr UINT kCommandFilePollMs = 500;
constexpr int kPlatformConfigTask = 4;

// pfCfgName filled with the platform.  The platform comes from the command line, so the
// name is refused like a format that does not fit ("") unless it stays inside the
// launcher's folder.
CString PlatformConfigName(const std::string& platform)
{
    const CString name = FormatConfiguredValue("pfCfgName", "s", platform.c_str());
    if (name.IsEmpty() || IsSafeRelativePath(name.str()))
        return name;
    WriteLog("平台配置文件名不安全：%s", name.GetString());
    return CString();
}

void StartContent()
{
    if (IContentDlg* content = PipelineContent())
        content->Start();
}
}  // namespace

void CVorlanClientApp::CheckPlatformConfig()
{
    if (platform.empty())
        return;
    if (hide)
        SetPipelineTimer(kTimerCommandFile, kCommandFilePollMs);

    CConfig* config = CConfig::GetInstance();
    const CString name = PlatformConfigName(platform);
    const CString path = config->GetExeDir() + "\\" + name;
    WriteLog("检查平台配置文件：%s", name.GetString());
    if (platform == "360") {
        WriteLog("平台为360");
        StartContent();
        return;
    }
    if (PathFileExistsA(path)) {
        WriteLog("平台配置文件已存在");
        config->Load(name);
        StartContent();
        return;
    }
    WriteLog("开始下载平台配置文件");
    isDownloadingPfCfg = 1;
    const CString url = FormatConfiguredValue("pfURL", "sd", name.GetString(), static_cast<int>(GetTickCount()));
    // Fetched under a temporary name: a broken transfer never leaves a partial file
    // that the next start would take for the whole configuration.
    StartDownload(url, path + g_strDownloadingSuffix, kPlatformConfigTask, "平台配置文件");
}

void CVorlanClientApp::OnPlatformConfigDownloaded()
{
    isDownloadingPfCfg = 0;
    CString failure(progress->errorText);
    DWORD error = 0;
    if (!failure.IsEmpty()) {
        DeleteFileA(savePath);
    } else if (!CommitDownloadedFile(savePath, error)) {
        failure.Format("保存平台配置文件失败：%s，错误码：%d", WithoutDownloadingSuffix(savePath).GetString(),
                       static_cast<int>(error));
    }
    if (!failure.IsEmpty()) {
        ReportQOS(6, "downloadpferr");
        ShowFailureBox(failure);
        Quit();
        return;
    }
    WriteLog("平台配置下载结束");
    CConfig::GetInstance()->Load(PlatformConfigName(platform));
    StartContent();
}
