// The real WebBrowser control under Wine, hosted in place of its template placeholder:
// its properties, its navigations and their cancel, its keys, and its end with its window.
#include "tests/support/test_server.h"
#include "tests/support/browser_events.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>

#include "afx/afxwin.h"
#include "res/resource.h"
#include "ui/explorer.h"

namespace {

// Navigations to a URL holding cancelText are cancelled.
class RecordingBrowser : public CExplorer1, public CWebBrowserEvents {
public:
    void OnBeforeNavigate2(IDispatch*, VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                           VARIANT_BOOL* Cancel) override
    {
        navigations.push_back(UrlText(URL).str());
        if (!cancelText.empty() && navigations.back().find(cancelText) != std::string::npos)
            *Cancel = VARIANT_TRUE;
    }
    std::vector<std::string> navigations;
    std::string cancelText;
};

BOOL ReadBool(CExplorer1& browser, DISPID id)
{
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(S_OK, browser.InvokeHelper(id, DISPATCH_PROPERTYGET, &value));
    return V_VT(&value) == VT_BOOL && V_BOOL(&value) == VARIANT_TRUE;
}

std::vector<WPARAM> g_keys;
WNDPROC g_viewProc = nullptr;
LRESULT CALLBACK RecordKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
        g_keys.push_back(wParam);
    return CallWindowProcA(g_viewProc, window, message, wParam, lParam);
}

TEST(BrowserHost, TheRealControlTakesThePlaceholdersPlaceNavigatesAndGetsItsKeys)
{
    AfxEnableControlContainer();
    vt::TestServer server;
    std::mutex mutex;
    std::set<std::string> requested;
    server.server().set_keep_alive_max_count(1);  // no pooled connection holds the server's stop
    server.server().Get(R"(/(\w+))", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        requested.insert(req.matches[1]);
        res.set_content("page", "text/html");
    });
    ASSERT_TRUE(server.Start());
    auto wasRequested = [&](const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex);
        return requested.count(path) != 0;
    };
    CDialog dialog(IDD_CONTROLLERS);
    ASSERT_TRUE(dialog.Create(IDD_CONTROLLERS));
    dialog.ShowWindow(SW_SHOW);
    RECT placeholder, hosted;
    GetWindowRect(dialog.GetDlgItem(IDC_BROWSER), &placeholder);
    RecordingBrowser browser;
    ASSERT_TRUE(browser.CreateInPlaceOf(&dialog, IDC_BROWSER, &browser));
    EXPECT_EQ(browser.m_hWnd, dialog.GetDlgItem(IDC_BROWSER));  // the placeholder is gone
    browser.GetWindowRect(&hosted);
    EXPECT_TRUE(EqualRect(&placeholder, &hosted));
    EXPECT_FALSE(browser.IsWindowVisible());  // as the placeholder was

    // Visible and Silent read back from the control; Visible shows or hides its window too.
    for (BOOL value : {TRUE, FALSE, TRUE}) {
        browser.put_Visible(value);
        browser.put_Silent(value);
        EXPECT_EQ(value, ReadBool(browser, 402));
        EXPECT_EQ(value, browser.IsWindowVisible());
        EXPECT_EQ(value, ReadBool(browser, 551));
    }
    EXPECT_EQ(nullptr, browser.get_Document());  // no HTML engine here: never a document

    // A navigation reaches the server after BeforeNavigate2 has seen its URL; a cancelled
    // one never does, and the next one goes out.
    browser.Navigate(server.Url("/first").c_str());
    EXPECT_TRUE(vt::PumpUntil([&] { return wasRequested("first"); }, 10000));
    browser.cancelText = "/cancelled";
    browser.Navigate(server.Url("/cancelled").c_str());
    browser.Navigate(server.Url("/after").c_str());
    EXPECT_TRUE(vt::PumpUntil([&] { return wasRequested("after"); }, 10000));
    EXPECT_FALSE(wasRequested("cancelled"));
    EXPECT_EQ((std::vector<std::string>{server.Url("/first"), server.Url("/cancelled"), server.Url("/after")}),
              browser.navigations);

    // Tab, Enter and Backspace reach the page's window; the dialog would take them first
    // (focus, default button) if the host did not hand them on.
    HWND view = FindWindowExA(FindWindowExA(browser, nullptr, "Shell Embedding", nullptr), nullptr,
                              "Shell DocObject View", nullptr);
    ASSERT_NE(nullptr, view);
    g_viewProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordKeys)));
    SetFocus(view);
    const std::vector<WPARAM> keys = {VK_TAB, VK_RETURN, VK_BACK};
    for (WPARAM key : keys)
        PostMessageA(view, WM_KEYDOWN, key, 1);
    EXPECT_TRUE(vt::PumpUntil([&] { return g_keys.size() >= keys.size(); }, 5000));
    EXPECT_EQ(keys, g_keys);
    SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_viewProc));

    // Destroying the dialog closes the control with its window.
    dialog.DestroyWindow();
    EXPECT_EQ(nullptr, browser.GetControlUnknown());
}

}  // namespace
