// The simple progress window: one gradient bar and one status text at a time over
// the small picture of simple mode, and a hidden browser that can open the game.
#pragma once

#include "ui/content_dlg_base.h"
#include "ui/explorer.h"
#include "ui/gradient_progress_ctrl.h"
#include "ui/static_ex.h"

class CSimpleCtnDlg : public CContentDlgBase, public CWebBrowserEvents {
public:
    CSimpleCtnDlg();

    void Start() override;
    void ShowProgressUI(int showProgress, int showCheckText, int showLoadText, int showStartText) override;
    void SetProgress(CString text1, CString text2, int percent) override;
    void ResetPage() override {}
    void Navigate(CString url) override;

    CGradientProgressCtrl m_progress;
    CStaticEx m_lblLoad;
    CStaticEx m_lblCheck;
    CStaticEx m_lblStart;
    CExplorer1 m_browser;  // hidden: it only follows Navigate

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    // The first completed navigation to the jump address opens the game.
    void OnNavigateComplete2(IDispatch* pDisp, VARIANT* URL) override;

private:
    void InitProgress();
    void OnMove();

    // A page and its frames can each complete on the jump address; the game is opened
    // for the first only (simple mode runs one game, and its end ends the run).
    bool m_bGameOpened = false;
};
