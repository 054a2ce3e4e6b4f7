#include "ui/static_ex.h"

int g_bStaticExNeedBackground = 1;

namespace {

const COLORREF kTextColor = RGB(202, 203, 204);

// 12 pixels, normal weight, a face that no font has, so that the font mapper picks
// the sans-serif font of the default character set at that height.
void CreateTextFont(CFont& font)
{
    LOGFONTA face{};
    face.lfHeight = 12;
    face.lfWeight = FW_NORMAL;
    face.lfCharSet = DEFAULT_CHARSET;
    face.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
    lstrcpynA(face.lfFaceName, "??????", LF_FACESIZE);
    font.CreateFontIndirect(face);
}

}  // namespace

LRESULT CStaticEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    }
    return CStatic::WindowProc(message, wParam, lParam);
}

void CStaticEx::OnPaint()
{
    CFont font;
    CreateTextFont(font);
    CPaintDC dc(m_hWnd);  // erases first: the very first text finds no copy yet

    if (g_bStaticExNeedBackground) {
        g_bStaticExNeedBackground = 0;
        CopyParentBackground(dc);
    }

    const CString text = GetWindowText();
    HGDIOBJ oldFont = dc.SelectObject(font);
    dc.SetTextColor(kTextColor);
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(0, 0, text, text.GetLength());  // one line; the window clips the rest
    dc.SelectObject(oldFont);
}

void CStaticEx::CopyParentBackground(const CDC& paintDC)
{
    HWND parent = ::GetParent(m_hWnd);
    CRect rect;
    GetWindowRect(&rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);

    CClientDC parentDC(parent);
    m_bmpBack.CreateCompatibleBitmap(paintDC, rect.Width(), rect.Height());
    m_dcBack.CreateCompatibleDC(paintDC);
    m_dcBack.SelectObject(m_bmpBack);
    m_dcBack.BitBlt(0, 0, rect.Width(), rect.Height(), parentDC, rect.left, rect.top, SRCCOPY);
}

BOOL CStaticEx::OnEraseBkgnd(HDC dc)
{
    if (m_dcBack.GetSafeHdc()) {
        CRect client;
        GetClientRect(&client);
        ::BitBlt(dc, 0, 0, client.Width(), client.Height(), m_dcBack, 0, 0, SRCCOPY);
    }
    return FALSE;
}
