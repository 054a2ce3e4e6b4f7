// The end of a run, the lobby's messages, and the end of the game process.
#include "app/lobby_message.h"
#include "app/pipeline_common.h"
#include "base/log.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

namespace {
// The lobby window named by --winid; null (and a log line) when the option holds no number.
bool LobbyWindow(const CVorlanClientApp& app, HWND& lobby)
{
    const std::string value = app.GetOption("--winid");
    if (ParseLobbyWindow(value, lobby))
        return true;
    WriteLog("--winid不是窗口句柄，不通知大厅：%s", value.c_str());
    return false;
}

void SendToLobby(HWND lobby, const LobbyCopyData& record)
{
    if (!SendLobbyMessage(lobby, PipelineWindow(), record))
        WriteLog("大厅窗口没有接收消息：%d", static_cast<int>(reinterpret_cast<intptr_t>(lobby)));
}
}  // namespace

void CVorlanClientApp::Quit()
{
    WriteLog("退出进程");
    if (g_pMainDlg) {
        g_pMainDlg->CloseTrayMenu();
        g_pMainDlg->RemoveTrayIcon();
    }
    HWND lobby = nullptr;
    if (platform.compare(0, 4, "2144") == 0 && HasOption("--winid") == 1 && LobbyWindow(*this, lobby)) {
        WriteLog("通知2144游戏大厅游戏退出：%d", static_cast<int>(reinterpret_cast<intptr_t>(lobby)));
        LobbyCopyData record;
        MakeLobbyCopyData(kLobbyGameExit, "1", record);
        SendToLobby(lobby, record);
    }
    isQuitting = 1;
    PostQuitMessage(0);
}

void CVorlanClientApp::SyncLogin2144(CString token)
{
    HWND lobby = nullptr;
    if (HasOption("--winid") != 1) {
        WriteLog("2144 syncLogin, token: %s, no winid", token.GetString());
        return;
    }
    if (!LobbyWindow(*this, lobby))
        return;
    LobbyCopyData record;
    if (!MakeLobbyCopyData(kLobbyLoginToken, token.str(), record)) {
        WriteLog("2144 syncLogin, token too long, not sent: %d bytes", token.GetLength());
        return;
    }
    SendToLobby(lobby, record);
    WriteLog("2144 syncLogin, token: %s, winid: %d", token.GetString(),
             static_cast<int>(reinterpret_cast<intptr_t>(lobby)));
}

void CVorlanClientApp::EndGameProcess()
{
    if (!unityPid)
        return;
    // Windows refuses to end a process that has already ended (access denied); Wine
    // reports success, so an ended game is looked for first and reported the same way.
    DWORD error = ERROR_ACCESS_DENIED;
    const bool running = unityProcess && WaitForSingleObject(unityProcess, 0) == WAIT_TIMEOUT;
    if (running && TerminateProcess(unityProcess, 0))
        WriteLog("关闭unity进程成功，进程id：%d", static_cast<int>(unityPid));
    else {
        if (running || !unityProcess)
            error = GetLastError();
        WriteLog("关闭unity进程失败，LastError：%d", static_cast<int>(error));
    }
    if (unityProcess)
        CloseHandle(unityProcess);
    unityProcess = nullptr;
}
