#include "afx/afxwin.h"

#include <ole2.h>

#include <vector>

#include "afx/afxconv.h"

namespace {
CWinApp* g_currentApp = nullptr;

CString ExeBaseName(const CString& path)
{
    CString name = path.Mid(path.ReverseFind('\\') + 1);
    int dot = name.ReverseFind('.');
    return dot >= 0 ? name.Left(dot) : name;
}
}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName)
{
    g_currentApp = this;
    m_hInstance = GetModuleHandleA(nullptr);
    m_pszExeName = ExeBaseName(AfxGetModuleFilePath());
    if (m_pszAppName.IsEmpty())
        m_pszAppName = m_pszExeName;
}

CWinApp::~CWinApp()
{
    if (g_currentApp == this)
        g_currentApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART) {
        // Windows restarts the process with the same tail after a crash or an update.
        RegisterApplicationRestart(AfxA2W(m_lpCmdLine).c_str(), 0);
    }
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return ExitInstance();
}

CWinApp* AfxGetApp()
{
    return g_currentApp;
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int cmdShow)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = cmdLine;
    app->m_nCmdShow = cmdShow;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

void AfxEnableControlContainer()
{
    static bool initialised = false;
    if (!initialised)
        initialised = SUCCEEDED(OleInitialize(nullptr));
}

CString AfxGetModuleFilePath(DWORD bufferSize)
{
    std::vector<char> buffer(bufferSize + 1, '\0');
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), bufferSize);
    if (length == 0 || length >= bufferSize)
        return CString();
    return CString(buffer.data(), static_cast<int>(length));
}
