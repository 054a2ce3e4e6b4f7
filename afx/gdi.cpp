#include "afx/afxgdi.h"

CDC::~CDC()
{
    if (m_owned)
        DeleteDC();
}

BOOL CDC::CreateCompatibleDC(HDC dc)
{
    if (m_owned)
        DeleteDC();
    m_hDC = ::CreateCompatibleDC(dc);
    m_owned = m_hDC != nullptr;
    return m_owned;
}

void CDC::Attach(HDC dc)
{
    DeleteDC();
    m_hDC = dc;
    m_owned = false;
}

HDC CDC::Detach()
{
    HDC dc = m_hDC;
    m_hDC = nullptr;
    m_owned = false;
    return dc;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC || !m_owned)
        return FALSE;
    ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_owned = false;
    return TRUE;
}

POINT CDC::SetWindowOrg(int x, int y)
{
    POINT previous{};
    ::SetWindowOrgEx(m_hDC, x, y, &previous);
    return previous;
}

CPaintDC::CPaintDC(HWND window) : m_window(window)
{
    Attach(::BeginPaint(window, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_window, &m_ps);
    Detach();
}

CClientDC::CClientDC(HWND window) : m_window(window)
{
    Attach(::GetDC(window));
}

CClientDC::~CClientDC()
{
    ::ReleaseDC(m_window, Detach());
}
