// The content dialogs' side of their browsers: the page-jump rule in the navigation
// events, the page shown once a real document is there, new windows handed to the
// system's browser, and the web page's document UI handler.
#include <windows.h>

#include <shellapi.h>

#include "app/config.h"
#include "base/log.h"
#include "app/vorlan_app.h"
#include "ui/controllers_dlg.h"
#include "ui/doc_host_ui_handler.h"
#include "ui/page_jump.h"
#include "ui/simple_ctn_dlg.h"

namespace {
void OpenWithShell(const char* url)
{
    ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOW);
}
}  // namespace

void (*g_pfnOpenWebAddress)(const char* url) = OpenWithShell;

void CControllersDlg::OnBeforeNavigate2(IDispatch*, VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                        VARIANT_BOOL* Cancel)
{
    CVorlanClientApp* app = GetVorlanApp();
    if (!app || !app->redirectProbe)  // made at start-up
        return;
    const CString target = BeforeNavigateTarget(UrlText(URL), ReadPageJumpConfig(), *app->redirectProbe);
    if (target.IsEmpty())
        return;
    app->OpenGameWindow("", QueryTextOf(target));
    *Cancel = VARIANT_TRUE;
    m_browser.Stop();
}

void CControllersDlg::OnNavigateComplete2(IDispatch*, VARIANT* URL)
{
    CVorlanClientApp* app = GetVorlanApp();
    const CString url = UrlText(URL);
    if (!app || !CompletedNavigationOpensGame(url, CConfig::GetInstance()->GetValue("jump")))
        return;
    app->OpenGameWindow("", QueryTextOf(url));
    m_browser.Stop();
}

void CControllersDlg::OnDocumentComplete(IDispatch*, VARIANT* URL)
{
    // Any frame's document but the blank one shows the page; nothing hides it again.
    if (UrlText(URL).Find("about:blank") < 0)
        m_browser.put_Visible(TRUE);
}

void CControllersDlg::OnNewWindow3(IDispatch**, VARIANT_BOOL* Cancel, DWORD, const char*, const char* bstrUrl)
{
    if (IsWebAddress(bstrUrl))
        g_pfnOpenWebAddress(bstrUrl);
    else
        WriteLog("新窗口的地址不是网页，不打开：%s", bstrUrl ? bstrUrl : "");
    *Cancel = VARIANT_TRUE;  // never a second browser window
}

void CControllersDlg::InstallUIHandler()
{
    IDispatch* document = m_browser.get_Document();
    if (!document)
        return;
    InstallDocHostUIHandler(document);
    document->Release();
}

BOOL CControllersDlg::DestroyWindow()
{
    m_browser.DestroyWindow();
    if (g_pDocHostUIHandler) {
        g_pDocHostUIHandler->Release();
        g_pDocHostUIHandler = nullptr;
    }
    return CContentDlgBase::DestroyWindow();
}

void CSimpleCtnDlg::OnNavigateComplete2(IDispatch*, VARIANT* URL)
{
    const CString url = UrlText(URL);
    WriteLog("页面跳转完成: %s", url.GetString());
    CVorlanClientApp* app = GetVorlanApp();
    if (!app || !CompletedNavigationOpensGame(url, CConfig::GetInstance()->GetValue("jump")))
        return;
    if (m_bGameOpened) {
        WriteLog("游戏已打开，不再处理跳转：%s", url.GetString());
        return;
    }
    m_bGameOpened = true;
    app->OpenGameWindow("", QueryTextOf(url));
    m_browser.Stop();
}
