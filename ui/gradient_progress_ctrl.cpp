// The bar's geometry and colours are computed in single precision, truncated toward
// zero, so that every band lands on the same pixel and colour on every machine.  This
// file is built with SSE arithmetic (see CMakeLists.txt): the x87 unit would keep
// 80-bit intermediates and move band edges that fall on whole pixels.
#include "ui/gradient_progress_ctrl.h"

#include <algorithm>
#include <cstdlib>

#include "ui/mem_dc.h"

namespace {

// Truncation toward zero.  A value that has no int (an upper bound of 0 divides by
// zero) counts as 0 rather than as whatever the processor makes of it.
int Truncate(float value)
{
    if (!(value >= -2147483648.0f && value < 2147483648.0f))
        return 0;
    return static_cast<int>(value);
}

// The band's colour: each channel start + i * step, truncated, low 8 bits kept.
COLORREF BandColor(int startR, int startG, int startB, float stepR, float stepG, float stepB, int i)
{
    const float band = static_cast<float>(i);
    const int r = Truncate(static_cast<float>(startR) + band * stepR) & 0xFF;
    const int g = Truncate(static_cast<float>(startG) + band * stepG) & 0xFF;
    const int b = Truncate(static_cast<float>(startB) + band * stepB) & 0xFF;
    return RGB(r, g, b);
}

}  // namespace

void CGradientProgressCtrl::SetRange(int lower, int upper)
{
    m_nLower = lower;
    m_nUpper = upper;
    m_nPos = 0;
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

int CGradientProgressCtrl::SetPos(int pos)
{
    m_nPos = pos;
    // The platform control repaints on a new position, through WM_PAINT below.
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)));
}

LRESULT CGradientProgressCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return TRUE;  // the paint covers the whole client area
    }
    return CProgressCtrl::WindowProc(message, wParam, lParam);
}

void CGradientProgressCtrl::OnPaint()
{
    CPaintDC dc(m_hWnd);
    CRect client;
    GetClientRect(&client);

    // A position at or below the lower bound, or above the upper, is a black bar.
    if (m_nPos <= m_nLower || m_nPos > m_nUpper) {
        CBrush black(RGB(0, 0, 0));
        dc.FillRect(client, black);
        return;
    }

    const bool vertical = (::GetWindowLongA(m_hWnd, GWL_STYLE) & PBS_VERTICAL) != 0;
    const float length = static_cast<float>(vertical ? client.Height() : client.Width());
    const int filledExtent = Truncate(static_cast<float>(m_nPos) / static_cast<float>(m_nUpper) * length);
    DrawGradient(dc, client, filledExtent, vertical);

    if (m_bShowPercent) {
        const float percent = static_cast<float>((m_nPos - m_nLower) * 100) / static_cast<float>(m_nUpper - m_nLower);
        CString text;
        text.Format("%3.0f %%", static_cast<double>(percent));
        dc.SetTextColor(m_clrText);
        dc.SetBkMode(TRANSPARENT);
        CRect textRect = client;
        dc.DrawText(text, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void CGradientProgressCtrl::DrawGradient(CDC& dc, const CRect& client, int filledExtent, bool vertical)
{
    CMYMemDC memDC(&dc);

    const int startR = GetRValue(m_clrStart), startG = GetGValue(m_clrStart), startB = GetBValue(m_clrStart);
    int deltaR = GetRValue(m_clrEnd) - startR;
    int deltaG = GetGValue(m_clrEnd) - startG;
    int deltaB = GetBValue(m_clrEnd) - startB;

    // One band per level of the channel that changes most.  Equal colours run from the
    // start colour to about twice it instead (black: 255 black bands).
    int bands;
    if (deltaR == 0 && deltaG == 0 && deltaB == 0) {
        deltaR = startR;
        deltaG = startG;
        deltaB = startB;
        bands = m_clrStart == 0 ? 255 : std::max({startR, startG, startB});
    } else {
        bands = std::max({std::abs(deltaR), std::abs(deltaG), std::abs(deltaB)});
    }

    const float count = static_cast<float>(bands);
    const float bandSize = static_cast<float>(vertical ? client.bottom : client.right) / count;
    const float stepR = static_cast<float>(deltaR) / count;
    const float stepG = static_cast<float>(deltaG) / count;
    const float stepB = static_cast<float>(deltaB) / count;

    for (int i = 0; i < bands; ++i) {
        const int nearEdge = Truncate(static_cast<float>(i) * bandSize);
        const int farEdge = Truncate(static_cast<float>(i + 1) * bandSize);
        const CRect band =
            vertical ? CRect(0, nearEdge, client.right + 1, farEdge) : CRect(nearEdge, 0, farEdge, client.bottom + 1);
        {
            CBrush brush(BandColor(startR, startG, startB, stepR, stepG, stepB, i));
            memDC.FillRect(band, brush);
        }
        // The band that crosses the filled extent is drawn whole; the background
        // takes the rest, and a full bar shows none.
        if (farEdge > filledExtent) {
            const CRect rest = vertical ? CRect(0, farEdge, client.right, client.bottom)
                                        : CRect(farEdge, 0, client.right, client.bottom);
            CBrush background(m_clrBkgnd);
            memDC.FillRect(rest, background);
            break;
        }
    }
}
