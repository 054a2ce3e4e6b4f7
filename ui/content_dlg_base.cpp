#include "ui/content_dlg_base.h"

#include "res/resource.h"

bool PaintMinimizedIcon(CWnd& window, HICON icon)
{
    if (!IsIconic(window.m_hWnd))
        return false;
    CPaintDC dc(window.m_hWnd);
    window.SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()));
    RECT client;
    window.GetClientRect(&client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    return true;
}

void InitContentProgressBar(CGradientProgressCtrl& bar)
{
    bar.SetRange(0, 100);
    bar.ShowPercent(FALSE);
    bar.SetStartColor(RGB(0, 132, 255));
    // Not the colour key: the last bands of a full bar stay visible.
    bar.SetEndColor(RGB(255, 0, 252));
    bar.SetBkColor(RGB(49, 49, 73));
    bar.SetPos(0);
    bar.ModifyStyleEx(WS_EX_STATICEDGE, 0);
    bar.Invalidate(FALSE);
}

LRESULT ClientHitAsCaption(LRESULT hit)
{
    return hit == HTCLIENT ? HTCAPTION : hit;
}

CContentDlgBase::CContentDlgBase(UINT templateId) : CDialog(templateId)
{
    m_hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

BOOL CContentDlgBase::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        TranslateMessage(msg);
        DispatchMessageA(msg);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

void CContentDlgBase::MakeColorKeyed()
{
    m_brBack.CreateSolidBrush(kContentColorKey);
    ModifyStyleEx(0, WS_EX_LAYERED);
    SetLayeredWindowAttributes(m_hWnd, kContentColorKey, 0, LWA_COLORKEY);
}

void CContentDlgBase::OnCancel()
{
    if (m_pParentWnd && m_pParentWnd->m_hWnd)
        m_pParentWnd->SendMessage(WM_COMMAND, IDCANCEL, 0);
}

LRESULT CContentDlgBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
        // Every background the system paints is the colour key, so the picture shows.
        CDialog::WindowProc(message, wParam, lParam);
        return reinterpret_cast<LRESULT>(m_brBack.GetSafeHandle());
    case WM_PAINT:
        if (PaintMinimizedIcon(*this, m_hIcon))
            return 0;
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_NCHITTEST:
        return ClientHitAsCaption(CDialog::WindowProc(message, wParam, lParam));
    case WM_CLOSE:
        OnCancel();
        return 0;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
