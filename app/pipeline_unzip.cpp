// The unpacking step: the archive into the executable's folder, then the game is ready.
#include <shlwapi.h>

#include "app/config.h"
#include "base/log.h"
#include "app/package_unzip.h"
#include "app/vorlan_app.h"

namespace {
// After a failed unpacking neither the archive nor a game exe written from it may
// stay: the next run would unpack the same broken archive again, or start a
// half-installed game.  It downloads afresh instead.
void RemoveFailedUnpacking(const CString& archive, const CString& gameExe, bool gameExeExisted)
{
    WriteLog("删除解压失败的游戏包：%s", archive.GetString());
    DeleteFileA(archive);
    if (!gameExeExisted && PathFileExistsA(gameExe)) {
        SetFileAttributesA(gameExe, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(gameExe);
    }
}
}  // namespace

void CVorlanClientApp::UnzipGamePackage(CString zipPath)
{
    CConfig* config = CConfig::GetInstance();
    ReportQOS(20, "startunzip");
    WriteLog("开始解压zip");
    const CString gameExe = config->GetGameExePath();
    const bool gameExeExisted = PathFileExistsA(gameExe) != FALSE;
    isUnzippingPkg = 1;
    const bool unpacked = UnzipPackage(zipPath.str(), config->GetExeDir().str());
    isUnzippingPkg = 0;
    if (!unpacked) {
        ReportQOS(22, "unziperr");
        RemoveFailedUnpacking(zipPath, gameExe, gameExeExisted);
        ShowFailureBox("游戏包解压失败");
        Quit();
        return;
    }
    ReportQOS(21, "finishunzip");
    WriteLog("zip完成解压");
    DeleteFileA(zipPath);
    isGameInstalled = 1;
    OnGameReady();
}
