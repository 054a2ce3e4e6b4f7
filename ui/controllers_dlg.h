// The web page dialog: the page, a close and a minimise button, and the progress
// display, on a colour-keyed overlay of the main window's picture.
#pragma once

#include "afx/afxwnd.h"
#include "ui/content_dlg_base.h"
#include "ui/explorer.h"
#include "ui/gradient_progress_ctrl.h"
#include "ui/static_ex.h"

class CControllersDlg : public CContentDlgBase, public CWebBrowserEvents {
public:
    CControllersDlg();

    void Start() override;
    void ShowProgressUI(int showProgress, int showCheckText, int showLoadText, int showStartText) override;
    void SetProgress(CString text1, CString text2, int percent) override;
    void ResetPage() override;
    void Navigate(CString url) override;
    // Closes the page's control and gives up the dialog's reference to the UI handler.
    BOOL DestroyWindow() override;

    CBitmapButton m_btnClose;
    CBitmapButton m_btnMin;
    CExplorer1 m_browser;
    CGradientProgressCtrl m_progress;
    CStaticEx m_lblLoad;
    CStaticEx m_lblCheck;

    // Height of the two status texts, between their top and the bar's.
    static constexpr int kLabelHeight = 20;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange() override;

    // The page's events: the page-jump rule, the first real document, new windows.
    void OnBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                           VARIANT* Headers, VARIANT_BOOL* Cancel) override;
    void OnNavigateComplete2(IDispatch* pDisp, VARIANT* URL) override;
    void OnDocumentComplete(IDispatch* pDisp, VARIANT* URL) override;
    void OnNewWindow3(IDispatch** ppDisp, VARIANT_BOOL* Cancel, DWORD dwFlags, const char* bstrUrlContext,
                      const char* bstrUrl) override;

private:
    // Makes the UI handler and sets it on the page's document, when there is one.
    void InstallUIHandler();
    void InitControls();
    void OnBnClickedClose();
    void OnBnClickedMinimize();
    // Sends the page's browser to url.
    void NavigatePage(const CString& url);
};

// Hands a web address to the system's default browser (ShellExecuteA); tests put a
// recorder here so that none starts a real browser.
extern void (*g_pfnOpenWebAddress)(const char* url);

// The start page: the configured "page", with the lobby's token added for the
// platforms of the 2144 lobby.
CString MakeStartPageUrl(const CString& page, const std::string& platform, int hasToken, const std::string& token,
                         const std::string& source);
