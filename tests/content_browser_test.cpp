// The page: the page-jump rule's redirect probe and chain against real redirect chains on
// 127.0.0.1, the real WebBrowser control hosted in place of its template placeholder, the
// content dialogs' browsers (the rule in both strategies, the page shown by the first real
// document, new windows, the start page, the simple window's hidden browser), and
// window.external and the document's UI handler called as a script engine and a document do.
#include "tests/support/raw_listener.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <ocidl.h>
#include <wininet.h>

#include <map>
#include <mutex>

#include "afx/afxconv.h"
#include "app/config.h"
#include "app/version.h"
#include "base/log.h"
#include "app/vorlan_app.h"
#include "res/resource.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/test_support.h"
#include "ui/controllers_dlg.h"
#include "ui/doc_host_ui_handler.h"
#include "ui/page_jump.h"
#include "ui/simple_ctn_dlg.h"
#include "ui/web_dispatcher.h"

namespace {

using Lines = std::vector<std::string>;
std::vector<std::string> g_opened;  // addresses handed to the system's browser

void Configure(std::initializer_list<std::string> lines)
{
    for (const std::string& line : lines)
        CConfig::GetInstance()->ParseLine(line.c_str());
}

// Arguments as a caller passes them: a value (a VT_DISPATCH one is a null object), a pointer
// to one, a text in a new BSTR.
VARIANT Variant(VARTYPE type, LONG number = 0)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    V_I4(&v) = number;
    return v;
}

VARIANT ByRef(VARTYPE type, void* pointer)
{
    VARIANT v = Variant(VT_BYREF | type);
    V_BYREF(&v) = pointer;
    return v;
}

VARIANT Text(const std::string& text)
{
    VARIANT v = Variant(VT_BSTR);
    V_BSTR(&v) = AfxA2Bstr(text.c_str());
    return v;
}

// Invokes the method id of target with args, given in their declared order.
HRESULT Invoke(IDispatch* target, DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr)
{
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return target->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

// Raises a hosted WebBrowser control's event as the control does (Wine's raises no completion
// or new-window events itself): through each sink on its DWebBrowserEvents2 connection point,
// with the real DISPIDs, the arguments in the control's order and types (the URL a VARIANT by
// reference holding a BSTR).  Gives the number of sinks that took it; frees the BSTRs of args.
int Fire(IUnknown* control, DISPID event, std::vector<VARIANT> args)
{
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    IEnumConnections* connections = nullptr;
    int delivered = 0;
    if (control && SUCCEEDED(control->QueryInterface(IID_PPV_ARGS(&container))) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_VorlanWebBrowserEvents2, &point)) &&
        SUCCEEDED(point->EnumConnections(&connections))) {
        // Wine's enumerator hands out the sinks without a reference of their own: none is
        // released here, or the host's sink would be freed under it.
        for (CONNECTDATA c{}; connections->Next(1, &c, nullptr) == S_OK;) {
            IDispatch* sink = nullptr;
            if (SUCCEEDED(c.pUnk->QueryInterface(IID_PPV_ARGS(&sink)))) {
                delivered += SUCCEEDED(Invoke(sink, event, args));
                sink->Release();
            }
        }
    }
    for (IUnknown* p : std::vector<IUnknown*>{connections, point, container})
        if (p)
            p->Release();
    for (VARIANT& arg : args)
        VariantClear(V_VT(&arg) == (VT_BYREF | VT_VARIANT) ? V_VARIANTREF(&arg) : &arg);
    return delivered;
}

// Cancel as the control passes it, a 16-bit VARIANT_BOOL, with a guard behind it that a
// handler writing a 32-bit BOOL would overwrite.
struct CancelFlag {
    VARIANT_BOOL value = VARIANT_FALSE;
    VARIANT_BOOL guard = 0x2A2A;
};

int FireUrlEvent(IUnknown* control, DISPID event, const std::string& url)  // NavigateComplete2, DocumentComplete
{
    VARIANT address = Text(url);
    return Fire(control, event, {Variant(VT_DISPATCH), ByRef(VT_VARIANT, &address)});
}

int FireBeforeNavigate2(IUnknown* control, const std::string& url, CancelFlag& cancel)
{
    VARIANT address = Text(url), none[4] = {Variant(VT_I4), Variant(VT_EMPTY), Variant(VT_EMPTY), Variant(VT_EMPTY)};
    return Fire(control, DISPID_BROWSER_BEFORENAVIGATE2,
                {Variant(VT_DISPATCH), ByRef(VT_VARIANT, &address), ByRef(VT_VARIANT, &none[0]),
                 ByRef(VT_VARIANT, &none[1]), ByRef(VT_VARIANT, &none[2]), ByRef(VT_VARIANT, &none[3]),
                 ByRef(VT_BOOL, &cancel.value)});
}

class BrowserPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnableControlContainer();
        LogInit(m_logPath.c_str());
        m_app.isQuitting = 1;  // OpenGameWindow logs its call and starts nothing
        m_app.redirectProbe = &m_probe;
        g_pfnOpenWebAddress = [](const char* url) { g_opened.push_back(url); };
        // /go/N: N more hops, then the page that holds the jump text; /long/N: a Location of N bytes.
        for (int n = 1; n <= 10; ++n)
            m_locations["/go/" + std::to_string(n)] = "/go/" + std::to_string(n - 1);
        for (size_t n : {1023, 1024})
            m_locations["/long/" + std::to_string(n)] = "http://h/?" + std::string(n - 10, 'x');
        m_server.server().set_keep_alive_max_count(1);  // no pooled connection holds the server's stop
        m_server.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_requests.push_back(req.target);
            lock.unlock();
            if (req.path == "/slow")
                Sleep(50);
            if (m_locations.count(req.path))
                res.status = 302, res.set_header("Location", m_locations.at(req.path));
        });
        ASSERT_TRUE(m_server.Start());
        m_locations["/go/0"] = Url("/enter?jumpme");
        ASSERT_TRUE(m_silent.Start(vt::RawListener::Mode::Stall, ""));
        Configure({"jump=jumpme", "stratergy=", "startJump=", "page=" + Url("/start")});
    }
    void TearDown() override { Configure({"jump=", "stratergy=", "startJump=", "page="}); }
    std::string Url(const std::string& path) { return m_server.Url(path); }
    // The game parameters of every OpenGameWindow call so far.
    std::vector<std::string> GamesOpened()
    {
        std::vector<std::string> games;
        for (const std::string& line : vt::LogMessages(m_logPath))
            if (line.rfind("OpenGameWindow, szTitle = , szUrl = ", 0) == 0)
                games.push_back(line.substr(36));
        return games;
    }
    // Looks name up and invokes its id with args (in the page's order), as a script does;
    // the look-up's failure, or the call's result.
    HRESULT Call(const wchar_t* name, std::vector<VARIANT> args, VARIANT* result = nullptr)
    {
        DISPID id = 12345;
        const HRESULT found = g_pWebDispatcher->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, 0, &id);
        const HRESULT called = Invoke(g_pWebDispatcher, id, std::move(args), result);
        return FAILED(found) ? found : called;
    }
    bool Requested(const std::string& target)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::count(m_requests.begin(), m_requests.end(), target) != 0;
    }

    vt::TempDir m_dir{"page"};
    const std::string m_logPath = m_dir / "log.log";
    CVorlanClientApp m_app;
    std::map<std::string, std::string> m_locations = {{"/enter", "/game?a=1&b=2"},
                                                      {"/rel/a/b", "../c?jumpme"},
                                                      {"/rel/c", "http://g.example/?p=1"},
                                                      {"/loop/a", "b"},
                                                      {"/loop/b", "a"},
                                                      {"/slow", "/slow"}};
    vt::TestServer m_server;
    vt::RawListener m_silent;  // accepts, reads the request, never answers
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    CRedirectProbe m_probe{500};
};

TEST_F(BrowserPage, ProbeReadsOneLocationClosingWhatItOpensAndTheChainEndsAtTheGameOrGivesUp)
{
    const std::pair<std::string, std::string> cases[] = {
        {Url("/enter"), "/game?a=1&b=2"},  // relative, as the server wrote it
        {Url("/go/0"), Url("/enter?jumpme")},
        {Url("/long/1023"), m_locations["/long/1023"]},
        {Url("/long/1024"), ""},  // does not fit the 1024-byte buffer
        {Url("/plain"), ""},
        {"http://127.0.0.1:" + std::to_string(vt::UnusedPort()) + "/x", ""},
        {m_silent.Url("/x"), ""},  // the hop's time-out ends the wait
        {"not a url", ""},
    };
    // Handles are numbered from the lowest free one: a hop that left any open would
    // move the number that the next root handle gets.
    auto nextHandle = [] {
        HINTERNET handle = InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        InternetCloseHandle(handle);
        return handle;
    };
    const HINTERNET before = nextHandle();
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, m_probe.GetLocation(c.first.c_str()).str()) << c.first;
        EXPECT_EQ(before, nextHandle()) << c.first;
    }

    const RedirectChainLimits limits;
    const std::string found = "获取游戏跳转链接：", tooFar = "跳转次数或时间超出限制，停止分析：",
                      empty = "跳转链接为空，停止分析";
    const struct {
        std::string url, target, lastLine;
    } chains[] = {
        // /go/N asks N + 2 times in all: the limit counts the last hop too.
        {Url("/go/" + std::to_string(limits.maxHops - 2)), Url("/game?a=1&b=2"), found},
        {Url("/go/" + std::to_string(limits.maxHops - 1)), "", tooFar},
        {Url("/enter?jumpme"), Url("/game?a=1&b=2"), found},  // no hop needed
        {Url("/rel/a/b"), "http://g.example/?p=1", found},    // "../c?jumpme"
        {Url("/plain"), "", empty},
        {Url("/plain?jumpme"), "", found},
    };
    for (const auto& c : chains) {
        EXPECT_EQ(c.target, FollowRedirectChain(m_probe, c.url.c_str(), "jumpme").str()) << c.url;
        EXPECT_EQ(0u, vt::LogMessages(m_logPath).back().find(c.lastLine)) << c.url;
    }
    // A loop stops at the hop limit, having asked exactly that many times.
    EXPECT_EQ("", FollowRedirectChain(m_probe, Url("/loop/a").c_str(), "jumpme").str());
    EXPECT_EQ(limits.maxHops, std::count_if(m_requests.begin(), m_requests.end(),
                                            [](const std::string& target) { return target.rfind("/loop/", 0) == 0; }));
    // The time limit ends a chain that would go on: checked before each later hop.
    EXPECT_EQ("", FollowRedirectChain(m_probe, Url("/slow").c_str(), "jumpme", RedirectChainLimits{10, 1}).str());
    EXPECT_TRUE(vt::Contains(vt::LogMessages(m_logPath), tooFar + Url("/slow")));
}

std::vector<WPARAM> g_keys;
WNDPROC g_viewProc = nullptr;
LRESULT CALLBACK RecordKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
        g_keys.push_back(wParam);
    return CallWindowProcA(g_viewProc, window, message, wParam, lParam);
}

TEST_F(BrowserPage, TheRealControlTakesThePlaceholdersPlaceNavigatesAndGetsItsKeys)
{
    CDialog dialog(IDD_CONTROLLERS);
    ASSERT_TRUE(dialog.Create(IDD_CONTROLLERS));
    dialog.ShowWindow(SW_SHOW);
    RECT placeholder, hosted;
    GetWindowRect(dialog.GetDlgItem(IDC_BROWSER), &placeholder);
    CExplorer1 browser;
    ASSERT_TRUE(browser.CreateInPlaceOf(&dialog, IDC_BROWSER, nullptr));
    browser.GetWindowRect(&hosted);
    // The placeholder is gone; the control has its id, its place and its hidden state.
    EXPECT_TRUE(browser.m_hWnd == dialog.GetDlgItem(IDC_BROWSER) && EqualRect(&placeholder, &hosted) &&
                !browser.IsWindowVisible());
    // Visible (402) and Silent (551) read back from the control; Visible shows its window too.
    for (BOOL value : {TRUE, FALSE}) {
        browser.put_Visible(value);
        browser.put_Silent(value);
        VARIANT read[2] = {};
        browser.InvokeHelper(402, DISPATCH_PROPERTYGET, &read[0]);
        browser.InvokeHelper(551, DISPATCH_PROPERTYGET, &read[1]);
        const VARIANT_BOOL expected = value ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_TRUE(V_BOOL(&read[0]) == expected && V_BOOL(&read[1]) == expected) << value;
        EXPECT_EQ(value, browser.IsWindowVisible());
    }

    browser.Navigate(Url("/first").c_str());  // the page's own window comes with a page
    EXPECT_TRUE(vt::PumpUntil([&] { return Requested("/first"); }, vt::kWineWaitMs));

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
    EXPECT_TRUE(vt::PumpUntil([&] { return g_keys.size() >= keys.size(); }, vt::kWineWaitMs));
    EXPECT_EQ(keys, g_keys);
    SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_viewProc));

    dialog.DestroyWindow();  // closes the control with its window
    EXPECT_EQ(nullptr, browser.GetControlUnknown());
}

TEST_F(BrowserPage, ThePageOpensTheGameInsteadOfTheJumpShowsRealDocumentsAndSendsNewWindowsOut)
{
    CControllersDlg page;
    ASSERT_TRUE(page.Create(IDD_CONTROLLERS));
    IUnknown* control = page.m_browser.GetControlUnknown();
    const DISPID before2 = DISPID_BROWSER_BEFORENAVIGATE2, complete2 = DISPID_BROWSER_NAVIGATECOMPLETE2;
    const struct {
        const char *strategy, *startJump;
        DISPID event;
        std::string url;
        const char* game;  // "": no game opened
        bool cancelled;
    } cases[] = {
        {"", "", before2, "http://h/p?jumpme&a=1?b=2", "jumpme&a=1?b=2", true},
        {"", "", before2, "http://h/jumpme", "http://h/jumpme", true},
        {"", "", before2, "http://h/p?x=1", "", false},
        {"", "", complete2, "http://h/q?jumpme&k=v", "jumpme&k=v", false},
        {"redirect", "/go", before2, Url("/go/1"), "a=1&b=2", true},
        {"redirect", "", before2, Url("/enter?jumpme"), "a=1&b=2", true},
        {"redirect", "/go", before2, "http://h/p?jumpme", "", false},  // no start text: left to complete
        {"redirect", "/go", complete2, "http://h/p?jumpme", "jumpme", false},
        {"redirect", "/start", before2, Url("/start"), "", false},          // the chain finds no Location
        {"Redirect", "/go", before2, "http://h/p?jumpme", "jumpme", true},  // not exactly "redirect": plain
    };
    for (const auto& c : cases) {
        Configure({std::string("stratergy=") + c.strategy, std::string("startJump=") + c.startJump});
        auto games = GamesOpened();
        if (*c.game)
            games.push_back(c.game);
        CancelFlag cancel;
        EXPECT_EQ(1, c.event == complete2 ? FireUrlEvent(control, c.event, c.url)
                                          : FireBeforeNavigate2(control, c.url, cancel));
        EXPECT_EQ(games, GamesOpened()) << c.url;
        EXPECT_EQ(c.cancelled ? VARIANT_TRUE : VARIANT_FALSE, cancel.value) << c.url;
        EXPECT_EQ(0x2A2A, cancel.guard) << c.url;  // written as the control's 16-bit VARIANT_BOOL
    }

    // The real control's own BeforeNavigate2: the jump address opens the game and never
    // loads; the next page does.
    Configure({"stratergy=", "startJump="});
    page.m_browser.Navigate(Url("/p?jumpme&real=1").c_str());
    page.m_browser.Navigate(Url("/after").c_str());
    EXPECT_TRUE(vt::PumpUntil([&] { return Requested("/after"); }, vt::kWineWaitMs));
    EXPECT_FALSE(Requested("/p?jumpme&real=1"));
    EXPECT_TRUE(vt::Contains(GamesOpened(), "jumpme&real=1"));

    // Only a real document shows the page; new windows leave for the system's browser.
    for (auto document : {std::make_pair("about:blank", false), {"http://h/frame.html", true}, {"about:blank", true}}) {
        FireUrlEvent(control, DISPID_BROWSER_DOCUMENTCOMPLETE, document.first);
        EXPECT_EQ(document.second, (GetWindowLongA(page.m_browser, GWL_STYLE) & WS_VISIBLE) != 0) << document.first;
    }
    g_opened.clear();
    for (const char* url : {"http://h/a", "HTTPS://h/b", "file:///c:/windows/notepad.exe", "\\\\host\\share\\x.exe",
                            "c:\\x.bat", "javascript:alert(1)"}) {
        CancelFlag cancel;
        IDispatch* newWindow = nullptr;
        Fire(control, DISPID_BROWSER_NEWWINDOW3,  // 6: a pop-up the user asked for
             {ByRef(VT_DISPATCH, &newWindow), ByRef(VT_BOOL, &cancel.value), Variant(VT_I4, 6),
              Text("http://127.0.0.1/page"), Text(url)});
        EXPECT_EQ(VARIANT_TRUE, cancel.value) << url;  // never a second browser window
    }
    EXPECT_EQ((std::vector<std::string>{"http://h/a", "HTTPS://h/b"}), g_opened);
    EXPECT_TRUE(vt::Contains(vt::LogMessages(m_logPath), "新窗口的地址不是网页，不打开：c:\\x.bat"));

    // Without an HTML engine there is never a document: no handler, the page loads anyway,
    // with the lobby's token on a 2144 platform.
    m_app.ParseCommandLine("2144game --token=T1 --source=S1");
    page.Start();
    EXPECT_EQ(nullptr, g_pDocHostUIHandler);
    EXPECT_TRUE(vt::PumpUntil([&] { return Requested("/start?token=T1&source=S1"); }, vt::kWineWaitMs));
    page.DestroyWindow();
}

TEST_F(BrowserPage, TheSimpleWindowsHiddenBrowserOpensTheGameWhenANavigationCompletes)
{
    CSimpleCtnDlg simple;
    ASSERT_TRUE(simple.Create(IDD_SIMPLE_CONTENT));
    simple.Navigate(Url("/simple").c_str());
    EXPECT_TRUE(vt::PumpUntil([&] { return Requested("/simple"); }, vt::kWineWaitMs));
    // A frame completing on the jump address after its page opens no second game.
    for (const char* url : {"http://h/p?x=1", "http://h/p?jumpme&a=1&b=2", "http://h/frame?jumpme&c=3"})
        FireUrlEvent(simple.m_browser.GetControlUnknown(), DISPID_BROWSER_NAVIGATECOMPLETE2, url);
    EXPECT_EQ(std::vector<std::string>{"jumpme&a=1&b=2"}, GamesOpened());
    const auto lines = vt::LogMessages(m_logPath);
    EXPECT_TRUE(vt::Contains(lines, "导航到页面：" + Url("/simple")));
    EXPECT_TRUE(vt::Contains(lines, "页面跳转完成: http://h/p?x=1"));
    EXPECT_TRUE(vt::Contains(lines, "游戏已打开，不再处理跳转：http://h/frame?jumpme&c=3"));
    simple.DestroyWindow();
}

TEST_F(BrowserPage, MethodsByAnyCaseReadOnlyTheTextArgumentsGiven)
{
    VARIANT referenced = Text("by reference");
    const Lines noText = {"writeLog无法获取参数！"}, syncLogin = {"GetIDsOfNames syncLogin"};
    const struct {
        const wchar_t* name;
        std::vector<VARIANT> args;
        Lines lines;  // the first lines logged
    } cases[] = {
        {L"OPENGAMEWIN",
         {Text("a=1&b=2")},
         {"GetIDsOfNames openGameWin", "Invoke openGameWin", "url: a=1&b=2",
          "OpenGameWindow, szTitle = servername, szUrl = a=1&b=2"}},
        {L"openGameWin", {}, {"GetIDsOfNames openGameWin", "Invoke openGameWin", "openGameWin无法获取参数！"}},
        {L"WriteLog", {Text("%E4%B8 %s %d 微端")}, {"%E4%B8 %s %d 微端"}},
        {L"writelog", {Text("first"), Text("last")}, {"last"}},
        {L"writeLog", {Variant(VT_I4, 42)}, {"42"}},
        {L"writeLog", {ByRef(VT_VARIANT, &referenced)}, {"by reference"}},
        {L"writeLog", {}, noText},
        {L"writeLog", {Variant(VT_NULL)}, noText},
        {L"writeLog", {Variant(VT_DISPATCH)}, noText},
        {L"syncLogin", {Variant(VT_DISPATCH)}, {syncLogin[0], "2144 syncLogin参数错误！"}},
        {L"isMICROclient", {}, {"GetIDsOfNames isMicroClient"}},  // no place for the result: nothing written
        {L"getappVER", {}, {"GetIDsOfNames getAppVer"}},
        {L"SYNCLOGIN", {Variant(VT_I4, 7)}, {syncLogin[0], "2144 syncLogin, token: 7, no winid"}},
    };
    for (auto c : cases) {
        LogInit(m_logPath.c_str());
        EXPECT_EQ(S_OK, Call(c.name, c.args));
        const Lines lines = vt::LogMessages(m_logPath);
        EXPECT_EQ(c.lines, Lines(lines.begin(), lines.begin() + std::min(lines.size(), c.lines.size())));
        for (VARIANT& arg : c.args)
            VariantClear(&arg);
    }
    VariantClear(&referenced);
    LogInit(m_logPath.c_str());
    EXPECT_EQ(DISP_E_UNKNOWNNAME, Call(L"closeWindow", {Text("x")}));
    EXPECT_EQ(Lines{}, vt::LogMessages(m_logPath));
    // No method has named arguments.
    const wchar_t* named[] = {L"writeLog", L"text"};
    DISPID ids[2] = {};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, g_pWebDispatcher->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(named), 2, 0, ids));
    EXPECT_TRUE(ids[0] == DISPID_WRITELOG && ids[1] == DISPID_UNKNOWN);
}

TEST_F(BrowserPage, ResultsOnlyWhereTheCallerGivesAPlace)
{
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, Call(L"isMicroClient", {}, &result));
    EXPECT_TRUE(V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_TRUE);
    EXPECT_EQ(S_OK, Call(L"getAppVer", {}, &result));
    ASSERT_EQ(VT_BSTR, V_VT(&result));
    EXPECT_EQ(GetAppVersionText().str(), AfxW2A(V_BSTR(&result)).str());
    VariantClear(&result);
    {
        vt::AllocationLimit noMemory(0);
        DISPPARAMS none{};  // a value, never an exception into the page
        EXPECT_EQ(E_OUTOFMEMORY, g_pWebDispatcher->Invoke(DISPID_GETAPPVER, IID_NULL, 0, 0, &none, &result, 0, 0));
    }
    EXPECT_EQ(VT_EMPTY, V_VT(&result));
    // The count moves, the object stays.
    for (int i = 0; i < 3; ++i)
        g_pWebDispatcher->Release();
    EXPECT_EQ(S_OK, Call(L"isMicroClient", {}, &result));
}

// A document that takes the handler given to it, as the HTML engine's does.
struct FakeDocument : IDispatch, ICustomDoc {
    IDocHostUIHandler* handler = nullptr;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == __uuidof(ICustomDoc) ? static_cast<ICustomDoc*>(this) : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetUIHandler(IDocHostUIHandler* given) override
    {
        given->AddRef();
        handler = given;
        return S_OK;
    }
};

TEST(DocHostUIHandler, AnswersTheDocumentsQuestionsAndGoesWithItsLastReference)
{
    FakeDocument document;
    InstallDocHostUIHandler(&document);
    CDocHostUIHandlerImpl* handler = g_pDocHostUIHandler;
    ASSERT_TRUE(handler && document.handler == handler);
    wchar_t css[] = L"body{}";
    DOCHOSTUIINFO info{999, 0, 7, css, nullptr};
    EXPECT_EQ(S_OK, handler->GetHostInfo(&info));
    EXPECT_TRUE(info.cbSize == 20 && info.dwFlags == 12 && info.dwDoubleClick == 0 && info.pchHostCss == css);
    EXPECT_EQ(S_OK, handler->ShowContextMenu(0, nullptr, nullptr, nullptr));  // handled: no menu
    IDispatch* external = nullptr;
    EXPECT_TRUE(handler->GetExternal(&external) == S_OK && external == g_pWebDispatcher);
    void* asked = &info;
    EXPECT_TRUE(handler->QueryInterface(__uuidof(IDocHostUIHandler2), &asked) == E_NOINTERFACE && !asked);
    EXPECT_EQ(S_OK, handler->QueryInterface(IID_IUnknown, &asked));  // the dialog's, the document's and this one
    EXPECT_EQ(2u, handler->Release());
    EXPECT_EQ(1u, document.handler->Release());
    EXPECT_EQ(0u, handler->Release());
    g_pDocHostUIHandler = nullptr;
}

}  // namespace
