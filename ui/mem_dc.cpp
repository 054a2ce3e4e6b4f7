#include "ui/mem_dc.h"

CMYMemDC::CMYMemDC(CDC* target) : m_pDC(target), m_bMemDC(!target->IsPrinting())
{
    if (!m_bMemDC) {
        // A printer has no pixels to copy back: draw on it directly.
        Attach(m_pDC->GetSafeHdc());
        return;
    }
    m_pDC->GetClipBox(&m_rect);
    CreateCompatibleDC(m_pDC->GetSafeHdc());
    m_bitmap.CreateCompatibleBitmap(m_pDC->GetSafeHdc(), m_rect.Width(), m_rect.Height());
    m_oldBitmap = SelectObject(m_bitmap);
    SetWindowOrg(m_rect.left, m_rect.top);
}

CMYMemDC::~CMYMemDC()
{
    if (m_bMemDC) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), GetSafeHdc(), m_rect.left, m_rect.top,
                      SRCCOPY);
        SelectObject(m_oldBitmap);
    } else {
        Detach();  // the target's handle is not ours to delete
    }
    // The bitmap and the memory context go with the members and the base.
}
