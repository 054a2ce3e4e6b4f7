// The launcher's application object: start-up and the whole state of the launch pipeline.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "afx/afxstr.h"
#include "afx/afxwin.h"
#include "net/downloader.h"

class CRedirectProbe;

class CVorlanClientApp : public CWinApp {
public:
    CVorlanClientApp();
    ~CVorlanClientApp() override;

    BOOL InitInstance() override;
    // Stops the download workers while every static object still exists.
    int ExitInstance() override;

    // Command line (options, platform, simple and hide mode, command-file key).
    void ParseCommandLine(const char* tail);
    int HasOption(const std::string& key) const;
    std::string GetOption(const std::string& key) const;

    // Moves the previous run's log aside and starts this run's log.
    void RotateLog(const CString& exeDir);

    // Tells the statistics server that the pipeline reached a step (nothing in hide mode).
    void ReportQOS(int step, CString tag);
    // Sends the game's output log and this run's log, once per run, when shellcfg.ini allows it.
    void UploadLogs();

    // Every end of a run: removes the tray icon, tells the 2144 lobby, ends the modal loop.
    void Quit();
    // Passes a page's login token on to the lobby window given by --winid.
    void SyncLogin2144(CString token);
    // Ends the game process that this run started, if any (the main window's destruction).
    void EndGameProcess();

    // Pipeline steps that the main window and the content dialogs trigger.
    void CheckPlatformConfig();
    void QueryMinVersion();
    void OpenGameWindow(CString szTitle, CString szUrl);
    void OnDownloadTimer();
    void CheckUnityOutputLog();
    void PollUnityCommandFile();
    // Nonzero when a window of the game was found and brought to the front.
    int ActivateGameWindow();
    // Nonzero when the tray may offer its exit.
    int IsExitAllowed();

    CRedirectProbe* redirectProbe = nullptr;
    CString osName;
    CString gameUrl;
    CString gameTitle;
    int isGameInstalled = 0;
    int isGameStarted = 0;
    int isDownloadingUpdater = 0;
    int isDownloadingUpdatePkg = 0;
    int isDownloadingPfCfg = 0;
    int isQueryingMin = 0;
    int isDownloadingPkg = 0;
    int isUnzippingPkg = 0;
    CDownloadProgress* progress = nullptr;
    // Destroyed with the application object: stops every worker before the process ends.
    CDownloadManager downloader;
    CString savePath;
    CString taskName;
    int taskId = 0;
    int isDownloading = 0;
    CString appVersion;
    int qosStartAt = 0;
    const char* cmdLine = nullptr;
    std::map<std::string, std::string> options;
    std::string platform;
    std::string userId;
    int hide = 0;
    int simpleMode = 0;
    CString simpleArgs;
    int isUpdateChecked = 0;
    int minver = 0;
    int cmdKey = 0;
    int lastCmdSeq = 0;
    int launchTime = 0;
    int isUnityOk = 0;
    DWORD unityPid = 0;
    // The game process as CreateProcessA gave it: watched and ended through this
    // handle, never through the id alone, which the system may reuse.
    HANDLE unityProcess = nullptr;
    int canExit = 0;
    int isLogUploaded = 0;
    // Quit has run: the lobby has been told, the loop is ending.
    int isQuitting = 0;
};

// The running application object (null before it is constructed).
CVorlanClientApp* GetVorlanApp();

// Copies of the modes for the main window, set before it is created.
extern int g_bSimpleMode;
extern int g_bHide;

// Operating-system name from the version numbers Windows keeps for the process.
CString GetOSName();
CString OSNameFromVersion(unsigned major, unsigned minor);
