// The launcher's application object: start-up and the whole state of the launch pipeline.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <string>

#include "afx/afxstr.h"
#include "afx/afxwin.h"
#include "app/line_reader.h"
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

    // Download orchestration: one download at a time.  A download asked for while
    // another runs is held and started once the running one has been dispatched.
    void StartDownload(CString url, CString savePath, int taskId, CString taskName);
    // The steps that wait for the five download tasks, by task id 0 to 4.
    void OnMinVersionDownloaded();
    void OnGamePackageDownloaded();
    void OnAutoUpdaterDownloaded();
    void OnUpdatePackageDownloaded();
    void OnPlatformConfigDownloaded();
    // Package check, unpacking, launch and the self-update check that follows without a game.
    void CheckGamePackage();
    void UnzipGamePackage(CString zipPath);
    void OnGameReady();
    void LaunchGame();
    void CheckSelfUpdate();
    // Self-update: fetch the updater after the update package, then hand over to it.
    void CheckAutoUpdater();
    void RunAutoUpdater();

    // A failure box has been shown or Quit has run: the run starts nothing new.
    bool IsRunEnding() const { return isEnding || isQuitting; }
    // Marks the run as ending, logs "弹出提示：" and shows text in an error box.
    void ShowFailureBox(const CString& text);
    // The clock of launch and supervision, in whole seconds.
    int NowSeconds() const;

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
    // A failure box was shown: the run ends with it.
    int isEnding = 0;
    // Downloads asked for while another ran, in the order they were asked for.
    struct HeldDownload {
        CString url;
        CString savePath;
        int taskId;
        CString taskName;
    };
    std::deque<HeldDownload> heldDownloads;
    // Replaces GetLocalTimeSeconds for NowSeconds when set (tests move the clock).
    int (*clockSeconds)() = nullptr;
    // System time (file-time units) of the latest launch: an output log last written
    // before it was left by an earlier game.
    ULONGLONG gameLaunchFileTime = 0;
    // The latest launch's output log, read on from tick to tick: a log of any size costs a
    // tick no more than this share of it.
    static constexpr ULONGLONG kOutputLogBytesPerTick = 1 << 20;
    CLineReader outputLogReader;
};

// The running application object (null before it is constructed).
CVorlanClientApp* GetVorlanApp();

// ".downloading": the name a download has until it is complete.
extern const CString g_strDownloadingSuffix;

// Nonzero when Direct3D 9 can be loaded from the system folder.
int IsDirectX9Installed();

// Copies of the modes for the main window, set before it is created.
extern int g_bSimpleMode;
extern int g_bHide;

// Operating-system name from the version numbers Windows keeps for the process.
CString GetOSName();
CString OSNameFromVersion(unsigned major, unsigned minor);
