#include <string>

#include "afx/afxfile.h"
#include "app/config.h"
#include "base/log.h"
#include "app/pipeline_common.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "net/upload.h"

namespace {
// "<platform>_<time>_<userId>_<kind>.txt".  The platform and the user id come from the
// command line and the page; the name stands in the part's header between quotes, where a
// line end would start a header of its own and a quote would end the name, so each of
// those bytes becomes "_".
CString RemoteLogName(const std::string& platform, int time, const std::string& userId, const char* kind)
{
    CString formatted;
    formatted.Format("%s_%d_%s_%s.txt", platform.c_str(), time, userId.c_str(), kind);
    // None of these bytes is ever the second byte of a double-byte character.
    std::string name = formatted.str();
    for (char& ch : name) {
        if (ch == '\r' || ch == '\n' || ch == '"')
            ch = '_';
    }
    return CString(name);
}

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
        UploadOneLog(url, unityLog, RemoteLogName(platform, now, userId, "unity"), response);
    } else {
        WriteLog("unity日志不存在");
    }

    const CString shellLog = config->GetExeDir() + "\\log.log";
    if (CFile::Exists(shellLog)) {
        UploadOneLog(url, shellLog, RemoteLogName(platform, now, userId, "shell"), response);
    }
}
