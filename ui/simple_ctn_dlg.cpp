#include "ui/simple_ctn_dlg.h"

#include "base/log.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

namespace {
constexpr UINT kMinVersionDelayMs = 500;
}  // namespace

CSimpleCtnDlg::CSimpleCtnDlg() : CContentDlgBase(IDD_SIMPLE_CONTENT) {}

void CSimpleCtnDlg::DoDataExchange()
{
    BindControl(IDC_PROGRESS, m_progress);
    BindControl(IDC_LBL_LOAD, m_lblLoad);
    BindControl(IDC_LBL_CHECK, m_lblCheck);
    BindControl(IDC_LBL_START, m_lblStart);
    m_browser.CreateInPlaceOf(this, IDC_BROWSER, this);
}

BOOL CSimpleCtnDlg::OnInitDialog()
{
    CContentDlgBase::OnInitDialog();
    MakeColorKeyed();
    InitProgress();
    return TRUE;
}

void CSimpleCtnDlg::InitProgress()
{
    InitContentProgressBar(m_progress);
    ShowProgressUI(SW_SHOW, SW_SHOW, SW_HIDE, SW_HIDE);
}

void CSimpleCtnDlg::Start()
{
    if (m_pParentWnd)
        m_pParentWnd->SetTimer(kTimerMinVersion, kMinVersionDelayMs);
}

void CSimpleCtnDlg::ShowProgressUI(int showProgress, int showCheckText, int showLoadText, int showStartText)
{
    m_progress.ShowWindow(showProgress);
    m_lblCheck.ShowWindow(showCheckText);
    m_lblLoad.ShowWindow(showLoadText);
    m_lblStart.ShowWindow(showStartText);
}

void CSimpleCtnDlg::SetProgress(CString, CString, int percent)
{
    m_progress.SetPos(percent);
}

void CSimpleCtnDlg::Navigate(CString url)
{
    WriteLog("导航到页面：%s", url.GetString());
    m_browser.Navigate(url);
}

void CSimpleCtnDlg::OnMove()
{
    if (!m_progress.m_hWnd)
        return;
    m_progress.MoveWindow(50, 105, 345, 6, TRUE);
    m_lblLoad.MoveWindow(62, 85, 333, 20, TRUE);
    m_lblCheck.MoveWindow(62, 85, 333, 20, TRUE);
    m_lblStart.MoveWindow(62, 85, 333, 20, TRUE);
}

LRESULT CSimpleCtnDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The main window lays this dialog over itself with one move; when only its size
    // changes, no WM_MOVE comes, so a resize places the controls too.
    if (message == WM_MOVE || message == WM_SIZE) {
        LRESULT result = CContentDlgBase::WindowProc(message, wParam, lParam);
        OnMove();
        return result;
    }
    return CContentDlgBase::WindowProc(message, wParam, lParam);
}
