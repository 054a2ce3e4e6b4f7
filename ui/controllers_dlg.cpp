#include "ui/controllers_dlg.h"

#include "app/config.h"
#include "base/log.h"
#include "app/vorlan_app.h"
#include "res/resource.h"
#include "ui/doc_host_ui_handler.h"
#include "ui/main_dialog.h"

namespace {
constexpr DWORD kMinVersionDelayMs = 2000;
}  // namespace

CString MakeStartPageUrl(const CString& page, const std::string& platform, int hasToken, const std::string& token,
                         const std::string& source)
{
    if (platform.compare(0, 4, "2144") != 0 || !hasToken)
        return page;
    CString url;
    url.Format("%s?token=%s&source=%s", page.GetString(), token.c_str(), source.c_str());
    return url;
}

CControllersDlg::CControllersDlg() : CContentDlgBase(IDD_CONTROLLERS) {}

void CControllersDlg::DoDataExchange()
{
    m_browser.CreateInPlaceOf(this, IDC_BROWSER, this);
    BindControl(IDC_PROGRESS, m_progress);
    BindControl(IDC_LBL_LOAD, m_lblLoad);
    BindControl(IDC_LBL_CHECK, m_lblCheck);
}

BOOL CControllersDlg::OnInitDialog()
{
    CContentDlgBase::OnInitDialog();
    MakeColorKeyed();
    InitControls();
    NavigatePage("about:blank");
    return TRUE;
}

void CControllersDlg::InitControls()
{
    m_btnClose.LoadBitmaps(IDB_CLOSE, IDB_CLOSE_DOWN, IDB_CLOSE, IDB_CLOSE);
    m_btnClose.SubclassDlgItem(IDC_BTN_CLOSE, this);
    m_btnClose.SizeToContent();
    m_btnMin.LoadBitmaps(IDB_MINIMIZE, IDB_MINIMIZE_DOWN, IDB_MINIMIZE, IDB_MINIMIZE);
    m_btnMin.SubclassDlgItem(IDC_BTN_MINIMIZE, this);
    m_btnMin.SizeToContent();

    // The page's browser is hidden until a real document has loaded; it sits at
    // (300, 132), 590 x 480, and shows no dialogs of its own.
    m_browser.put_Visible(FALSE);
    m_browser.MoveWindow(300, 132, 590, 480, TRUE);
    m_browser.put_Silent(TRUE);

    InitContentProgressBar(m_progress);

    ShowProgressUI(SW_HIDE, SW_HIDE, SW_HIDE, SW_HIDE);

    m_btnClose.MoveWindow(924, 133, 43, 43, TRUE);
    m_btnMin.MoveWindow(924, 178, 43, 43, TRUE);
    m_progress.MoveWindow(176, 620, 800, 6, TRUE);
    m_lblLoad.MoveWindow(176, 600, 800, kLabelHeight, TRUE);
    m_lblCheck.MoveWindow(176, 600, 800, kLabelHeight, TRUE);
}

void CControllersDlg::Start()
{
    // Once a document has had its handler, the page is under way: later calls do nothing.
    if (g_pDocHostUIHandler)
        return;
    InstallUIHandler();
    ResetPage();
    CVorlanClientApp* app = GetVorlanApp();
    app->ReportQOS(1, app->osName + "_PageReady");
    if (m_pParentWnd)
        m_pParentWnd->SetTimer(kTimerMinVersion, kMinVersionDelayMs);
}

void CControllersDlg::ShowProgressUI(int showProgress, int showCheckText, int showLoadText, int)
{
    m_progress.ShowWindow(showProgress);
    m_lblCheck.ShowWindow(showCheckText);
    m_lblLoad.ShowWindow(showLoadText);
}

void CControllersDlg::SetProgress(CString, CString, int percent)
{
    m_progress.SetPos(percent);
}

void CControllersDlg::ResetPage()
{
    CVorlanClientApp* app = GetVorlanApp();
    CString url = MakeStartPageUrl(CConfig::GetInstance()->GetValue("page"), app->platform,
                                   app->HasOption("--token"), app->GetOption("--token"),
                                   app->GetOption("--source"));
    WriteLog("重置页面：%s", url.GetString());
    NavigatePage(url);
}

void CControllersDlg::Navigate(CString) {}

void CControllersDlg::NavigatePage(const CString& url)
{
    m_browser.Navigate(url);
}

void CControllersDlg::OnBnClickedClose()
{
    CVorlanClientApp* app = GetVorlanApp();
    if (app && app->isGameInstalled)
        app->Quit();
}

void CControllersDlg::OnBnClickedMinimize()
{
    if (m_pParentWnd)
        m_pParentWnd->PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

LRESULT CControllersDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_BTN_CLOSE:
            OnBnClickedClose();
            return 0;
        case IDC_BTN_MINIMIZE:
            OnBnClickedMinimize();
            return 0;
        default:
            break;
        }
    }
    return CContentDlgBase::WindowProc(message, wParam, lParam);
}
