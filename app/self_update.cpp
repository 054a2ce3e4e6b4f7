// Self-update: when shellcfg.ini asks for a newer launcher, the update package and the
// updater program are fetched beside the executable, the user is told, and the
// updater takes over with the launcher's own command line.
#include "afx/afxfile.h"
#include "app/command_line.h"
#include "app/config.h"
#include "base/log.h"
#include "app/package_files.h"
#include "app/pipeline_common.h"
#include "app/version.h"
#include "app/vorlan_app.h"

namespace {
const char kUpdateSection[] = "update";

CString UpdateValue(const char* key)
{
    return GetIniString(ShellConfigPath(), kUpdateSection, key);
}

CString UpdaterPath()
{
    return CConfig::GetInstance()->GetExeDir() + "\\autoupdate.exe";
}

// The hand-over of an earlier run: the launcher's version and the required one.
// When both are still the same, the updater did not raise the version, and handing
// over again would only end every run before the game could start.
const char kHandOverRecord[] = "\\selfupdate.ver";

CString HandOverRecordPath()
{
    return CConfig::GetInstance()->GetExeDir() + kHandOverRecord;
}

CString HandOverRecord(const CString& appVersion, const CString& minVersion)
{
    return appVersion + " " + minVersion;
}

bool WasHandedOverBefore(const CString& record)
{
    return ReadFirstLineOfFile(kHandOverRecord) == record;  // "" when there is none
}

void RememberHandOver(const CString& record)
{
    CFile file;
    if (file.Open(HandOverRecordPath(), CFile::modeCreate | CFile::modeWrite))
        file.Write(record.GetString(), record.GetLength());
}

// A finished download of the chain: its final name once it succeeded; false (with a
// log line when the rename fails) ends the chain for this run.
bool CommitUpdateDownload(const CVorlanClientApp& app)
{
    if (!app.progress->errorText.empty())
        return false;
    WriteLog("%s下载结束，重命名", app.taskName.GetString());
    DWORD error = 0;
    if (CommitDownloadedFile(app.savePath, error))
        return true;
    WriteLog("%s重命名失败，错误码：%lu，本次不再更新", app.taskName.GetString(), error);
    return false;
}
}  // namespace

void CVorlanClientApp::CheckSelfUpdate()
{
    if (hide || isGameStarted || isUpdateChecked)
        return;
    if (!CFile::Exists(CConfig::GetInstance()->GetGameExePath()))
        return;
    isUpdateChecked = 1;
    if (UpdateValue("updateFlag") != "1")
        return;

    const CString minVersion = UpdateValue("min");
    if (VersionToNumber(appVersion) >= VersionToNumber(minVersion)) {
        WriteLog("推荐版本为: %s, 无须更新", minVersion.GetString());
        return;
    }
    if (WasHandedOverBefore(HandOverRecord(appVersion, minVersion))) {
        WriteLog("已为推荐版本%s拉起过自动更新，微端仍为%s，本次不再更新", minVersion.GetString(),
                 appVersion.GetString());
        return;
    }

    const CString packageName = UpdateValue("pkgName");
    if (!IsSafePackageName(packageName)) {
        WriteLog("微端更新包名不可用：%s", packageName.GetString());
        return;
    }
    const CString packagePath = CConfig::GetInstance()->GetExeDir() + "\\" + packageName;
    if (CFile::Exists(packagePath)) {
        WriteLog("微端更新包已存在");
        CheckAutoUpdater();
        return;
    }
    const CString url = FormatCheckedValue("latest", UpdateValue("latest"), "sd", packageName.GetString(),
                                           static_cast<int>(GetTickCount()));
    if (url.IsEmpty())
        return;
    isDownloadingUpdatePkg = 1;
    StartDownload(url, packagePath + g_strDownloadingSuffix, 3, "微端更新包");
}

void CVorlanClientApp::OnUpdatePackageDownloaded()
{
    isDownloadingUpdatePkg = 0;
    if (CommitUpdateDownload(*this))
        CheckAutoUpdater();
}

void CVorlanClientApp::CheckAutoUpdater()
{
    if (CFile::Exists(UpdaterPath())) {
        RunAutoUpdater();
        return;
    }
    const CString url =
        FormatCheckedValue("autoupdate", UpdateValue("autoupdate"), "d", static_cast<int>(GetTickCount()));
    if (url.IsEmpty())
        return;
    isDownloadingUpdater = 1;
    StartDownload(url, UpdaterPath() + g_strDownloadingSuffix, 2, "自动更新程序");
}

void CVorlanClientApp::OnAutoUpdaterDownloaded()
{
    isDownloadingUpdater = 0;
    if (CommitUpdateDownload(*this))
        RunAutoUpdater();
}

void CVorlanClientApp::RunAutoUpdater()
{
    if (isGameStarted)
        return;
    ShowPipelineBox("新微端已经更新完毕，重启微端即可体验", "微端更新");
    // Pages and the tray keep running while the box is open: one may have started the
    // game meanwhile, or ended the run, which has then told the lobby of its one exit.
    if (isGameStarted) {
        WriteLog("游戏已启动，不再拉起自动更新");
        return;
    }
    if (IsRunEnding()) {
        WriteLog("正在退出，不再拉起自动更新");
        return;
    }

    CString commandLine;
    commandLine.Format(" %s", cmdLine ? cmdLine : "");
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    std::string writable = commandLine.str();
    if (!CreateProcessA(UpdaterPath(), &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        WriteLog("自动更新拉起失败");
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    RememberHandOver(HandOverRecord(appVersion, UpdateValue("min")));
    WriteLog("自动更新拉起成功");
    Quit();
}
