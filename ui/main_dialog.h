// The launcher's one top-level window: a captionless layered dialog drawn from a
// PNG with per-pixel alpha, its tray icon, its four pipeline timers, and the one
// content dialog laid over it.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "afx/afximage.h"
#include "afx/afxwnd.h"
#include "ui/content_dlg.h"

// Timers of the main window, each dispatched to a pipeline step of the application.
enum : UINT_PTR {
    kTimerOutputLog = 1,    // every 500 ms after the game starts
    kTimerMinVersion = 2,   // once, armed by IContentDlg::Start
    kTimerCommandFile = 3,  // every 500 ms after the game starts (from start-up in hide mode)
    kTimerDownload = 4,     // every 10 ms while a download runs
};
// The tray icon's id and the message that it sends to the main window.
constexpr UINT kTrayIconId = 7;
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;

class CVorlanClientDlg : public CDialog {
public:
    explicit CVorlanClientDlg(CWnd* parent = nullptr);
    ~CVorlanClientDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    // Shows the window again after hide mode or the game's "reset": reloads the page too.
    void RestoreShellWindow();
    // Takes the tray icon away (the window's end and Quit).
    void RemoveTrayIcon();
    // Closes the tray menu if it is open (Quit): the menu's own loop would take the quit
    // message off the queue and drop it, and the run would go on.
    void CloseTrayMenu();

    HICON m_hIcon = nullptr;
    CImage m_imgBack;
    CDialog* m_pContentDlg = nullptr;
    IContentDlg* m_pContent = nullptr;
    NOTIFYICONDATAA m_nid{};

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnMove();
    void OnShowWindow(BOOL show);
    void OnWindowPosChanging(WINDOWPOS* position);
    void OnBnClickedCancel();
    void OnTimer(UINT_PTR id);
    LRESULT OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    void OnDestroy();
    void OnPaint();
    void LoadBackgroundImage();
    void UpdateLayeredBackground();
    void ShowTrayMenu();
};

extern CVorlanClientDlg* g_pMainDlg;
// The content dialog has been made; it is made at most once per process.
extern int g_bContentCreated;

// The pipeline's ways into the content dialog of g_pMainDlg.
void UpdateContentProgress(CString text1, CString text2, int percent);
void NavigateContent(CString url);

// Premultiplies every pixel of a 32-bit image in place: each colour byte becomes
// colour * alpha / 255, truncated; alpha stays.
void PremultiplyAlpha(BYTE* bits, int width, int height, int pitch);
