#include "ui/main_dialog.h"

#include "app/vorlan_app.h"
#include "res/resource.h"
#include "ui/content_dlg_base.h"
#include "ui/controllers_dlg.h"
#include "ui/simple_ctn_dlg.h"

CVorlanClientDlg* g_pMainDlg = nullptr;
int g_bContentCreated = 0;

// The tray record is the full ANSI one of current Windows versions.
static_assert(sizeof(NOTIFYICONDATAA) == 508, "NOTIFYICONDATAA is 508 bytes");

namespace {
const char kTrayTip[] = "Varomel";
}  // namespace

void PremultiplyAlpha(BYTE* bits, int width, int height, int pitch)
{
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            BYTE* pixel = bits + y * pitch + x * 4;
            const unsigned alpha = pixel[3];
            for (int channel = 0; channel < 3; ++channel)
                pixel[channel] = static_cast<BYTE>(pixel[channel] * alpha / 255);
        }
    }
}

void UpdateContentProgress(CString text1, CString text2, int percent)
{
    g_pMainDlg->m_pContent->SetProgress(text1, text2, percent);
}

void NavigateContent(CString url)
{
    g_pMainDlg->m_pContent->Navigate(url);
}

CVorlanClientDlg::CVorlanClientDlg(CWnd* parent) : CDialog(IDD_VORLANCLIENT_DIALOG, parent)
{
    m_hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CVorlanClientDlg::~CVorlanClientDlg() = default;

BOOL CVorlanClientDlg::PreTranslateMessage(MSG* msg)
{
    // Escape and Enter would end a dialog; this one ends only through Quit.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

LRESULT CVorlanClientDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    case WM_MOVE:
        OnMove();
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_NCHITTEST:
        return ClientHitAsCaption(CDialog::WindowProc(message, wParam, lParam));
    case WM_SHOWWINDOW:
        CDialog::WindowProc(message, wParam, lParam);
        OnShowWindow(static_cast<BOOL>(wParam));
        return 0;
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            OnBnClickedCancel();
            return 0;
        }
        break;
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_TRAY_NOTIFY:
        return OnTrayNotify(wParam, lParam);
    case WM_DESTROY:
        CDialog::WindowProc(message, wParam, lParam);
        OnDestroy();
        return 0;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

LRESULT CVorlanClientDlg::OnCreate(WPARAM wParam, LPARAM lParam)
{
    if (!g_bContentCreated) {
        if (g_bSimpleMode) {
            auto* simple = new CSimpleCtnDlg();
            simple->Create(IDD_SIMPLE_CONTENT, this);
            m_pContentDlg = simple;
            m_pContent = simple;
        } else {
            auto* page = new CControllersDlg();
            page->Create(IDD_CONTROLLERS, this);
            m_pContentDlg = page;
            m_pContent = page;
        }
        g_bContentCreated = 1;
    }
    return CDialog::WindowProc(WM_CREATE, wParam, lParam);
}

void CVorlanClientDlg::OnMove()
{
    // The one place that lays the content dialog over the window's picture.
    if (!m_pContentDlg || !m_pContentDlg->m_hWnd)
        return;
    RECT rect;
    GetWindowRect(&rect);
    m_pContentDlg->MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    InvalidateRect(m_pContentDlg->m_hWnd, nullptr, FALSE);
}

BOOL CVorlanClientDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ModifyStyleEx(0, WS_EX_LAYERED);
    LoadBackgroundImage();
    UpdateLayeredBackground();
    // The window has just taken the picture's size; a window that is still hidden
    // gets no move message for it, so the content is placed here too.
    OnMove();
    if (m_pContentDlg && m_pContentDlg->m_hWnd && !g_bHide)
        m_pContentDlg->ShowWindow(SW_SHOW);

    m_nid = NOTIFYICONDATAA{};
    m_nid.cbSize = sizeof(NOTIFYICONDATAA);
    m_nid.hWnd = m_hWnd;
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAY_NOTIFY;
    m_nid.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    lstrcpynA(m_nid.szTip, kTrayTip, sizeof(m_nid.szTip));
    Shell_NotifyIconA(NIM_ADD, &m_nid);

    if (CVorlanClientApp* app = GetVorlanApp())
        app->CheckPlatformConfig();
    return TRUE;
}

void CVorlanClientDlg::LoadBackgroundImage()
{
    const UINT id = g_bSimpleMode ? IDR_PNG_SIMPLE_BACKGROUND : IDR_PNG_BACKGROUND;
    // A missing or broken picture leaves the image empty; the window then shows no surface.
    m_imgBack.LoadFromResource(GetModuleHandleA(nullptr), id, "PNG");
}

void CVorlanClientDlg::UpdateLayeredBackground()
{
    const int width = m_imgBack.GetWidth();
    const int height = m_imgBack.GetHeight();
    HDC windowDc = ::GetDC(m_hWnd);
    HDC memoryDc = CreateCompatibleDC(windowDc);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
    void* dibBits = nullptr;
    HBITMAP dib = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &dibBits, nullptr, 0);
    HGDIOBJ oldBitmap = dib ? SelectObject(memoryDc, dib) : nullptr;

    if (m_imgBack.GetBPP() == 32)
        PremultiplyAlpha(m_imgBack.GetBits(), width, height, m_imgBack.GetPitch());
    m_imgBack.Draw(memoryDc, 0, 0, width, height, 0, 0, width, height);

    SIZE size = {width, height};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(m_hWnd, windowDc, nullptr, &size, memoryDc, &source, 0, &blend, ULW_ALPHA);

    if (oldBitmap)
        SelectObject(memoryDc, oldBitmap);
    if (dib)
        DeleteObject(dib);
    DeleteDC(memoryDc);
    ::ReleaseDC(m_hWnd, windowDc);
}

void CVorlanClientDlg::OnShowWindow(BOOL show)
{
    if (m_pContentDlg && m_pContentDlg->m_hWnd)
        m_pContentDlg->ShowWindow(show && !g_bHide ? SW_SHOW : SW_HIDE);
}

void CVorlanClientDlg::OnWindowPosChanging(WINDOWPOS* position)
{
    // Hide mode: no request, the modal loop's first showing included, makes the window visible.
    if (g_bHide)
        position->flags &= ~SWP_SHOWWINDOW;
}

void CVorlanClientDlg::OnBnClickedCancel()
{
    CVorlanClientApp* app = GetVorlanApp();
    if (app && app->isGameInstalled)
        app->Quit();
}

void CVorlanClientDlg::OnTimer(UINT_PTR id)
{
    CVorlanClientApp* app = GetVorlanApp();
    if (!app)
        return;
    switch (id) {
    case kTimerOutputLog:
        app->CheckUnityOutputLog();
        break;
    case kTimerMinVersion:
        KillTimer(kTimerMinVersion);
        app->QueryMinVersion();
        break;
    case kTimerCommandFile:
        app->PollUnityCommandFile();
        break;
    case kTimerDownload:
        app->OnDownloadTimer();
        break;
    default:
        break;
    }
}

LRESULT CVorlanClientDlg::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != kTrayIconId)
        return 1;
    CVorlanClientApp* app = GetVorlanApp();
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        if (!app || !app->ActivateGameWindow())
            RestoreShellWindow();
    } else if (mouseMessage == WM_RBUTTONUP) {
        // A click queued before a Quit took the icon away opens nothing.
        if (app && app->IsExitAllowed() && !app->IsRunEnding())
            ShowTrayMenu();
    }
    return 0;
}

void CVorlanClientDlg::ShowTrayMenu()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, IDCANCEL, "退出");
    // Foreground first, so that the menu closes when the user clicks elsewhere.
    SetForegroundWindow();
    TrackPopupMenu(menu, 0, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
}

void CVorlanClientDlg::CloseTrayMenu()
{
    EndMenu();  // the thread's open menu, if any
}

void CVorlanClientDlg::RemoveTrayIcon()
{
    m_nid.hWnd = m_hWnd;
    m_nid.uID = kTrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &m_nid);
}

void CVorlanClientDlg::OnDestroy()
{
    RemoveTrayIcon();
    if (CVorlanClientApp* app = GetVorlanApp())
        app->EndGameProcess();
}

void CVorlanClientDlg::OnPaint()
{
    if (!PaintMinimizedIcon(*this, m_hIcon))
        CDialog::WindowProc(WM_PAINT, 0, 0);
}

void CVorlanClientDlg::RestoreShellWindow()
{
    g_bHide = 0;
    m_pContent->ResetPage();
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow();
}
