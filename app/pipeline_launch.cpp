// The end of the launch pipeline: the game starts once the package is ready and a page
// has chosen it.
#include <vector>

#include "app/config.h"
#include "app/game_command_line.h"
#include "base/log.h"
#include "app/pipeline_common.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

namespace {
constexpr UINT kSupervisionTickMs = 500;
// CreateProcessA takes at most 32767 characters with the terminating zero; each
// character of the line is at least one byte.
constexpr int kMaxCommandLineBytes = 32766;

ULONGLONG SystemFileTimeNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
}  // namespace

int IsDirectX9Installed()
{
    // Only the system's own copy: a d3d9.dll beside the launcher or in the current
    // folder is never loaded.
    char systemDir[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(systemDir, MAX_PATH);
    const CString path = length > 0 && length < MAX_PATH ? CString(systemDir) + "\\d3d9.dll" : CString();
    HMODULE d3d9 = path.IsEmpty() ? nullptr : LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems without the search flags refuse them; the full path still names the system's file.
    if (!d3d9 && !path.IsEmpty() && GetLastError() == ERROR_INVALID_PARAMETER)
        d3d9 = LoadLibraryA(path);
    const DWORD error = path.IsEmpty() ? ERROR_BUFFER_OVERFLOW : GetLastError();
    if (d3d9) {
        FreeLibrary(d3d9);
        return 1;
    }
    WriteLog("加载d3d9失败，错误码：%d", static_cast<int>(error));
    return 0;
}

void CVorlanClientApp::OnGameReady()
{
    if (IContentDlg* content = PipelineContent())
        content->ShowProgressUI(SW_HIDE, SW_HIDE, SW_HIDE, SW_HIDE);
    if (!gameUrl.IsEmpty()) {
        if (IsDirectX9Installed()) {
            WriteLog("已安装dx9，启动unity");
            isGameStarted = 1;
            LaunchGame();
        } else {
            WriteLog("未安装dx9，提示安装");
            ReportQOS(42, "nodx9");
            ShowPipelineBox("检测到您尚未安装微软DirectX9，安装后即可体验极致酷炫游戏效果！", "缺少组件");
        }
        return;
    }
    if (simpleMode && platform == "yy") {
        if (PipelineContent())
            NavigateContent(simpleArgs);
    } else {
        CheckSelfUpdate();
    }
}

void CVorlanClientApp::LaunchGame()
{
    if (IsRunEnding())
        return;
    CConfig* config = CConfig::GetInstance();
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    const CString maximize = config->GetValue("maximize");
    WriteLog("最大化参数：%s", maximize.GetString());
    startup.wShowWindow = maximize == "N" ? SW_SHOWNORMAL : SW_MAXIMIZE;
    const CString gameExe = config->GetGameExePath();

    cmdKey = NowSeconds();
    GameCommandLineParts parts;
    parts.log = config->GetValue("log");
    parts.qosStartAt = qosStartAt;
    parts.cmdKey = cmdKey;
    parts.gameUrl = gameUrl;
    parts.simpleMode = simpleMode != 0;
    parts.version = VersionToNumber(appVersion);
    parts.shellPath = config->GetExeDir() + "\\" + m_pszExeName + ".exe";
    parts.params = config->GetValue("params");
    const GameCommandLine line = BuildGameCommandLine(parts);
    for (const std::string& piece : line.skipped)
        WriteLog("游戏参数没有“=”，不传给游戏：%s", piece.c_str());
    if (line.hasUserId)
        userId = line.userId;
    WriteLog("拉起游戏：%s", line.text.GetString());
    if (launchTime == 0)
        launchTime = NowSeconds();

    const ULONGLONG launchFileTime = SystemFileTimeNow();
    PROCESS_INFORMATION process{};
    bool started = false;
    if (line.text.GetLength() > kMaxCommandLineBytes) {
        WriteLog("游戏命令行过长：%d字节", line.text.GetLength());
    } else {
        // CreateProcessA may write into the line it is given.
        std::vector<char> commandLine(line.text.GetString(), line.text.GetString() + line.text.GetLength() + 1);
        started = CreateProcessA(gameExe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process) != 0;
    }
    if (!started) {
        ShowFailureBox("微端可能已损坏，请重新下载安装" + gameExe);
        Quit();
        ReportQOS(41, "unityerr");
        return;
    }

    unityPid = process.dwProcessId;
    // The handle is kept: the game is watched and ended through it, since the system
    // may give its id to another program once it has ended.
    if (unityProcess)
        CloseHandle(unityProcess);
    unityProcess = process.hProcess;
    CloseHandle(process.hThread);
    gameLaunchFileTime = launchFileTime;
    outputLogReader.Restart();  // this game's log replaces the earlier one's
    WriteLog("unity进程创建成功，进程ID：%d", static_cast<int>(unityPid));
    SetPipelineTimer(kTimerOutputLog, kSupervisionTickMs);
    SetPipelineTimer(kTimerCommandFile, kSupervisionTickMs);
    if (HWND window = PipelineWindow())
        ShowWindow(window, SW_HIDE);
    lastCmdSeq = 0;
}
