// The application object and the program's entry: a WinMain that hands the run to
// the one CWinApp-derived object, the way the launcher's class library does.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"

class CWnd;

// Restart Manager support flag: register the process for restart by Windows.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;

class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The base registers the process for restart when the restart flag is set.
    virtual BOOL InitInstance();
    virtual int ExitInstance() { return 0; }
    // A message loop for applications whose InitInstance returns TRUE.
    virtual int Run();

    HINSTANCE m_hInstance = nullptr;
    const char* m_lpCmdLine = nullptr;  // the command-line tail after the program path; not owned
    int m_nCmdShow = SW_SHOWNORMAL;
    CString m_pszAppName;
    CString m_pszExeName;  // base name of the executable, without folder and extension
    CWnd* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;
};

CWinApp* AfxGetApp();

// Runs the current application object: InitInstance, then Run or ExitInstance.
int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int cmdShow);

// Prepares the thread for hosting ActiveX controls (OLE on the UI thread).
void AfxEnableControlContainer();

// Full path of the running executable, read with a buffer of bufferSize bytes;
// empty when the path does not fit.
CString AfxGetModuleFilePath(DWORD bufferSize = MAX_PATH);
