// A progress bar that paints itself: its filled part as bands of colour running
// from a start colour towards an end colour, the rest in a background colour, and
// optionally the percentage centred on top.  The platform control underneath keeps
// the range and position in step but never paints.
#pragma once

#include "afx/afxgdi.h"
#include "afx/afxwnd.h"

class CGradientProgressCtrl : public CProgressCtrl {
public:
    // Also puts the position at 0.
    void SetRange(int lower, int upper);
    // Gives the platform's previous position.
    int SetPos(int pos);
    void SetStartColor(COLORREF color) { m_clrStart = color; }
    void SetEndColor(COLORREF color) { m_clrEnd = color; }
    // The unfilled part's colour; the platform control is not told.
    void SetBkColor(COLORREF color) { m_clrBkgnd = color; }
    void SetTextColor(COLORREF color) { m_clrText = color; }
    void ShowPercent(BOOL show) { m_bShowPercent = show; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    void DrawGradient(CDC& dc, const CRect& client, int filledExtent, bool vertical);

    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 10;
    int m_nPos = 0;
    COLORREF m_clrStart = RGB(255, 0, 0);
    COLORREF m_clrEnd = RGB(0, 0, 255);
    COLORREF m_clrBkgnd = RGB(0, 0, 0);
    COLORREF m_clrText = RGB(255, 255, 255);
    BOOL m_bShowPercent = FALSE;
};
