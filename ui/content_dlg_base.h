// What the two content dialogs share: a colour-keyed layered window over the main
// window's picture (magenta is transparent), dragged by any point, the icon when
// minimised, Escape kept for the page, and no way to make the dialog vanish alone.
#pragma once

#include "afx/afxgdi.h"
#include "afx/afxwnd.h"
#include "ui/content_dlg.h"
#include "ui/gradient_progress_ctrl.h"

// The colour that the content dialogs paint where the main window shows through.
constexpr COLORREF kContentColorKey = RGB(255, 0, 255);

class CContentDlgBase : public CDialog, public IContentDlg {
public:
    explicit CContentDlgBase(UINT templateId);

    // Escape goes straight to the window it was meant for (the page), never to the dialog.
    BOOL PreTranslateMessage(MSG* msg) override;

    HICON m_hIcon = nullptr;
    CBrush m_brBack;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Makes the brush of the colour key and the window colour-keyed.
    void MakeColorKeyed();
    // Enter does nothing; a cancel (Alt+F4 on the dialog, WM_CLOSE) is the main
    // window's to decide: it quits once the package is installed.  The dialog itself
    // never hides alone, or the page would be gone for the rest of the run.
    void OnOK() override {}
    void OnCancel() override;
};

// Range 0 to 100 at 0, no percentage, the blue-to-magenta gradient on dark grey, flat.
void InitContentProgressBar(CGradientProgressCtrl& bar);

// Draws icon centred in a minimised window; false when the window is not minimised.
bool PaintMinimizedIcon(CWnd& window, HICON icon);
// A hit on the client area answered as one on the caption.
LRESULT ClientHitAsCaption(LRESULT hit);
