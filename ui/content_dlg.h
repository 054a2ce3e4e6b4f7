// What the launch pipeline may do with the content of the main window, whichever
// dialog it is: the web page or the simple progress window.
#pragma once

#include "afx/afxstr.h"

class IContentDlg {
public:
    virtual ~IContentDlg() = default;
    // The platform configuration is in place: begin the page and arm timer 2.
    virtual void Start() = 0;
    // Each argument SW_SHOW or SW_HIDE: the bar, the checking text, the loading
    // text and (simple window only) the starting text.
    virtual void ShowProgressUI(int showProgress, int showCheckText, int showLoadText, int showStartText) = 0;
    // The running download's percentage; both texts are unused.
    virtual void SetProgress(CString text1, CString text2, int percent) = 0;
    // Loads the configured start page again.
    virtual void ResetPage() = 0;
    // Shows url in the content's browser.
    virtual void Navigate(CString url) = 0;
};
