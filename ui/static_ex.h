// A status text drawn over the picture behind it: light grey, 12 pixels high, with a
// transparent background.  The first such text that paints in the process keeps a
// copy of its parent's pixels behind it and erases with that copy ever after.
#pragma once

#include "afx/afxgdi.h"
#include "afx/afxwnd.h"

// 1 until the first CStaticEx paints and takes its background copy; UI thread only.
extern int g_bStaticExNeedBackground;

class CStaticEx : public CStatic {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    BOOL OnEraseBkgnd(HDC dc);
    void CopyParentBackground(const CDC& paintDC);

    CBitmap m_bmpBack;  // the parent's pixels behind the text, the text's size
    CDC m_dcBack;       // holds m_bmpBack; empty in every text but the first
};
