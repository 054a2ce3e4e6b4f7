#include "afx/afxfile.h"
#include "app/config.h"
#include "base/log.h"
#include "app/pipeline_common.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "net/upload.h"

namespace {
// Uploads one log under "<platform>_<time>_<userId>_<kind>.txt" and logs the outcome.
void UploadOneLog(const CString& url, const CString& localPath, const CString& remoteName, CString& response)
{
    const int result = UploadFile(url, localPath, remoteName, response);
    WriteLog("上传日志：%s， 结果：%d, Response = %s", remoteName.GetString(), result, response.GetString());
}
}  // namespace

void CVorlanClientApp::UploadLogs()
{
    CConfig* config = CConfig::GetInstance();
    // The switch is read on every call, so that the first call that finds it on uploads.
    if (GetIniString(ShellConfigPath(), "shell", "uploadFlag") != "1")
        return;
    if (isLogUploaded)
        return;
    isLogUploaded = 1;

    const CString url = config->GetValue("upload");
    const int now = GetLocalTimeSeconds();
    CString response;

    const CString unityLog = GameDataPath("output_log.txt");
    if (!unityLog.IsEmpty() && CFile::Exists(unityLog)) {
        CString remoteName;
        remoteName.Format("%s_%d_%s_unity.txt", platform.c_str(), now, userId.c_str());
        UploadOneLog(url, unityLog, remoteName, response);
    } else {
        WriteLog("unity日志不存在");
    }

    const CString shellLog = config->GetExeDir() + "\\log.log";
    if (CFile::Exists(shellLog)) {
        CString remoteName;
        remoteName.Format("%s_%d_%s_shell.txt", platform.c_str(), now, userId.c_str());
        UploadOneLog(url, shellLog, remoteName, response);
    }
}
