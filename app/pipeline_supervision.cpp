// Watching the running game: its output log, its command file, its process and window.
#include <shlwapi.h>

#include "afx/afxfile.h"
#include "app/command_file.h"
#include "app/config.h"
#include "app/line_reader.h"
#include "base/log.h"
#include "app/package_files.h"
#include "app/pipeline_common.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

namespace {
constexpr char kGraphicsFailureLine[] = "PlayerInitEngineGraphics: InitializeEngineGraphics failed";
// Seconds after the first launch from which a still missing output log has the logs uploaded.
constexpr int kOutputLogGraceSeconds = 3000;
// File systems keep write times coarsely (FAT to 2 s): a log this little older than the
// launch is still counted as this game's.
constexpr ULONGLONG kWriteTimeSlack = 2ULL * 10000000ULL;

struct WindowSearch {
    DWORD processId;
    HWND window;
};

// The output log exists and was written by the game launched last, not left by an earlier one.
bool IsOutputLogOfThisLaunch(const CString& path, ULONGLONG launchFileTime)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.IsEmpty() || !GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    const ULONGLONG written =
        (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return written + kWriteTimeSlack >= launchFileTime;
}

// An ended process, and one that can no longer be asked, count as not running.
bool IsProcessRunning(HANDLE process)
{
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

BOOL CALLBACK FindVisibleWindowProc(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || GetWindow(window, GW_OWNER) || !IsWindowVisible(window))
        return TRUE;
    search->window = window;
    return FALSE;
}
}  // namespace

void CVorlanClientApp::CheckUnityOutputLog()
{
    const CString path = GameDataPath("output_log.txt");
    const int elapsed = static_cast<int>(static_cast<unsigned>(NowSeconds()) - static_cast<unsigned>(launchTime));
    const bool present = IsOutputLogOfThisLaunch(path, gameLaunchFileTime);
    if (!present && elapsed > kOutputLogGraceSeconds) {
        UploadLogs();
        return;
    }
    CFile log;
    if (!present || !log.Open(path, CFile::modeRead | CFile::shareExclusive))
        return;
    const CLineReader::Result read = outputLogReader.ReadOn(
        log, kOutputLogBytesPerTick, [](const std::string& line) { return line == kGraphicsFailureLine; });
    log.Close();
    if (read == CLineReader::Result::More)
        return;  // the next tick reads on
    KillPipelineTimer(kTimerOutputLog);
    const bool failed = read == CLineReader::Result::Stopped;
    if (failed) {
        WriteLog("unity启动失败");
        ReportQOS(43, "drivererr");
        ShowPipelineBox("获取显卡信息失败，请升级显卡驱动或者添加官方QQ群联系客服。(QQ群：417263905)", "显卡驱动错误");
        isGameStarted = 0;
    } else {
        WriteLog("unity启动正常");
    }
    if (!isUnityOk)
        UploadLogs();
}

void CVorlanClientApp::PollUnityCommandFile()
{
    CString name;
    name.Format("qxcmd\\%d.txt", cmdKey);
    const CString path = GameDataPath(name);
    CommandFileContent content;
    if (!path.IsEmpty() && ReadCommandFile(path, content)) {
        switch (TakeNewCommand(content, lastCmdSeq)) {
        case GameCommand::Quit: Quit(); break;
        case GameCommand::Reset:
            if (!simpleMode && g_pMainDlg)
                g_pMainDlg->RestoreShellWindow();
            break;
        case GameCommand::Ok:
            isUnityOk = 1;
            WriteLog("收到unity ok消息");
            break;
        case GameCommand::CanExit:
            canExit = 1;
            WriteLog("收到unity canExit消息");
            break;
        case GameCommand::None: break;
        }
    }
    // Before any launch there is no game to have ended.
    if (simpleMode && unityProcess && !IsProcessRunning(unityProcess)) {
        WriteLog("检测到unity进程已退出");
        Quit();
    }
}

int CVorlanClientApp::ActivateGameWindow()
{
    // Through the handle: an id alone may by now name another program's process.
    if (!unityPid || !IsProcessRunning(unityProcess))
        return 0;
    WindowSearch search{unityPid, nullptr};
    EnumWindows(FindVisibleWindowProc, reinterpret_cast<LPARAM>(&search));
    if (!search.window)
        return 0;
    WriteLog("游戏窗口已打开，直接激活到最前面");
    ShowWindow(search.window, SW_MAXIMIZE);
    SetForegroundWindow(search.window);
    return 1;
}

int CVorlanClientApp::IsExitAllowed()
{
    const CString disableExit = GetIniString(ShellConfigPath(), "shell", "disableExit");
    return disableExit != "1" ? 1 : canExit;
}
