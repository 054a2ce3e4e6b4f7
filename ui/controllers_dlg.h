// The web page dialog: the page, a close and a minimise button, and the progress
// display, on a colour-keyed overlay of the main window's picture.
#pragma once

#include "afx/afxwnd.h"
#include "ui/content_dlg_base.h"
#include "ui/gradient_progress_ctrl.h"
#include "ui/static_ex.h"

class CControllersDlg : public CContentDlgBase {
public:
    CControllersDlg();

    void Start() override;
    void ShowProgressUI(int showProgress, int showCheckText, int showLoadText, int showStartText) override;
    void SetProgress(CString text1, CString text2, int percent) override;
    void ResetPage() override;
    void Navigate(CString url) override;

    CBitmapButton m_btnClose;
    CBitmapButton m_btnMin;
    CGradientProgressCtrl m_progress;
    CStaticEx m_lblLoad;
    CStaticEx m_lblCheck;

    // Height of the two status texts, between their top and the bar's.
    static constexpr int kLabelHeight = 20;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange() override;

private:
    void InitControls();
    void OnBnClickedClose();
    void OnBnClickedMinimize();
    // Sends the page's browser to url.
    void NavigatePage(const CString& url);
};

// The start page: the configured "page", with the lobby's token added for the
// platforms of the 2144 lobby.
CString MakeStartPageUrl(const CString& page, const std::string& platform, int hasToken, const std::string& token,
                         const std::string& source);
