// The unpacking step: the archive into the executable's folder, then the game is ready.
#include <shlwapi.h>

#include "app/config.h"
#include "base/log.h"
#include "app/package_unzip.h"
#include "app/vorlan_app.h"

namespace {
// After a failed unpacking neither the archive nor the game exe may stay: the next run
// would unpack the same broken archive again, or start a half-installed game (an exe
// found beside the archive came from an unpacking of it that never finished).  It
// downloads afresh instead.  The exe goes first and the archive only once the exe is
// gone: an exe left without its archive, by a run that ends between the two or by an
// exe another program holds, would pass for an installed game.
void RemoveFailedUnpacking(const CString& archive, const CString& gameExe)
{
    SetFileAttributesA(gameExe, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(gameExe)) {
        const DWORD error = GetLastError();
        if (PathFileExistsA(gameExe)) {
            WriteLog("删除解压失败的游戏程序失败，保留游戏包：%s，错误码：%d", gameExe.GetString(),
                     static_cast<int>(error));
            return;
        }
    }
    WriteLog("删除解压失败的游戏包：%s", archive.GetString());
    DeleteFileA(archive);
}
}  // namespace

void CVorlanClientApp::UnzipGamePackage(CString zipPath)
{
    CConfig* config = CConfig::GetInstance();
    ReportQOS(20, "startunzip");
    WriteLog("开始解压zip");
    isUnzippingPkg = 1;
    const bool unpacked = UnzipPackage(zipPath.str(), config->GetExeDir().str());
    isUnzippingPkg = 0;
    if (!unpacked) {
        ReportQOS(22, "unziperr");
        RemoveFailedUnpacking(zipPath, config->GetGameExePath());
        ShowFailureBox("游戏包解压失败");
        Quit();
        return;
    }
    ReportQOS(21, "finishunzip");
    WriteLog("zip完成解压");
    // An archive left here is unpacked again by the next run, which costs time only.
    if (!DeleteFileA(zipPath))
        WriteLog("删除已解压的游戏包失败：%s，错误码：%d", zipPath.GetString(), static_cast<int>(GetLastError()));
    isGameInstalled = 1;
    OnGameReady();
}
