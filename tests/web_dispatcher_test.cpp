// window.external and the document's UI handler, called the way a page's script engine
// and the browser's document call them.
#include <gtest/gtest.h>

#include "afx/afxconv.h"
#include "app/log.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/test_support.h"
#include "ui/doc_host_ui_handler.h"
#include "ui/web_dispatcher.h"

namespace {

using Lines = std::vector<std::string>;

VARIANT Arg(VARTYPE type, LONG number = 0, const char* text = nullptr)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    V_I4(&v) = number;
    if (type == VT_BSTR)
        V_BSTR(&v) = AfxA2Bstr(text);
    if (type == VT_DISPATCH)
        V_DISPATCH(&v) = g_pWebDispatcher;
    return v;
}
VARIANT Text(const char* text)
{
    return Arg(VT_BSTR, 0, text);
}

class WebDispatcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogInit(m_logPath.c_str());
        m_app.ParseCommandLine("2144game");
        m_app.isQuitting = 1;  // OpenGameWindow logs its call and starts nothing
    }
    // The log lines written while f runs.
    template <typename F> Lines LinesOf(F f)
    {
        const size_t before = vt::LogMessages(m_logPath).size();
        f();
        const Lines lines = vt::LogMessages(m_logPath);
        return Lines(lines.begin() + static_cast<long>(before), lines.end());
    }
    // Invokes id with args (in the page's order); the result goes to result when given.
    HRESULT Call(DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        return g_pWebDispatcher->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    }

    vt::TempDir m_dir{"external"};
    const std::string m_logPath = m_dir / "log.log";
    CVorlanClientApp m_app;
};

TEST_F(WebDispatcher, NamesMapToFixedIdsWithoutRegardToCase)
{
    const struct {
        std::vector<const wchar_t*> names;
        std::vector<DISPID> ids;
        Lines lines;
    } cases[] = {
        {{L"OPENGAMEWIN"}, {100}, {"GetIDsOfNames openGameWin"}},
        {{L"isMicroClient"}, {110}, {"GetIDsOfNames isMicroClient"}},
        {{L"getappVER"}, {120}, {"GetIDsOfNames getAppVer"}},
        {{L"WriteLog"}, {130}, {}},
        {{L"syncLogin"}, {140}, {"GetIDsOfNames syncLogin"}},
        {{L"closeWindow"}, {DISPID_UNKNOWN}, {}},
        {{L"writeLog", L"text"}, {130, DISPID_UNKNOWN}, {}},  // no method has named arguments
    };
    for (const auto& c : cases) {
        std::vector<DISPID> ids(c.names.size(), 12345);
        HRESULT result = S_OK;
        EXPECT_EQ(c.lines, LinesOf([&] {
                      result = g_pWebDispatcher->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(c.names.data()),
                                                               static_cast<UINT>(c.names.size()), 0, ids.data());
                  }));
        EXPECT_EQ(c.ids, ids);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), DISPID_UNKNOWN) ? DISP_E_UNKNOWNNAME : S_OK, result);
    }
}

TEST_F(WebDispatcher, MethodsReadOnlyTheTextArgumentsGiven)
{
    VARIANT referenced = Text("by reference");
    const Lines noText = {"writeLog无法获取参数！"};
    const struct {
        DISPID id;
        std::vector<VARIANT> args;
        Lines lines;
    } cases[] = {
        {100,
         {Text("a=1&b=2")},
         {"Invoke openGameWin", "url: a=1&b=2", "OpenGameWindow, szTitle = servername, szUrl = a=1&b=2"}},
        {100, {}, {"Invoke openGameWin", "openGameWin无法获取参数！"}},
        {130, {Text("%E4%B8 %s %d 微端")}, {"%E4%B8 %s %d 微端"}},
        {130, {Text("first"), Text("last")}, {"last"}},
        {130, {Arg(VT_I4, 42)}, {"42"}},
        {130, {Arg(VT_BYREF | VT_VARIANT, 0)}, {"by reference"}},
        {130, {}, noText},
        {130, {Arg(VT_EMPTY)}, noText},
        {130, {Arg(VT_NULL)}, noText},
        {130, {Arg(VT_DISPATCH)}, noText},
        {140, {Arg(VT_DISPATCH)}, {"2144 syncLogin参数错误！"}},
        {140, {Arg(VT_I4, 7)}, {"2144 syncLogin, token: 7, no winid"}},
        {999, {Text("x")}, {}},
    };
    for (auto c : cases) {
        for (VARIANT& arg : c.args)
            if (V_VT(&arg) == (VT_BYREF | VT_VARIANT))
                V_VARIANTREF(&arg) = &referenced;
        const Lines lines = LinesOf([&] { EXPECT_EQ(S_OK, Call(c.id, c.args)); });
        ASSERT_LE(c.lines.size(), lines.size()) << c.id;
        EXPECT_EQ(c.lines, Lines(lines.begin(), lines.begin() + static_cast<long>(c.lines.size()))) << c.id;
        for (VARIANT& arg : c.args)
            if (V_VT(&arg) == VT_BSTR)
                VariantClear(&arg);
    }
    VariantClear(&referenced);
}

TEST_F(WebDispatcher, ResultsOnlyWhereTheCallerGivesAPlace)
{
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, Call(110, {}, &result));
    EXPECT_TRUE(V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_TRUE);
    EXPECT_EQ(S_OK, Call(120, {}, &result));
    ASSERT_EQ(VT_BSTR, V_VT(&result));
    EXPECT_EQ(GetAppVersionText().str(), AfxW2A(V_BSTR(&result)).str());
    VariantClear(&result);
    EXPECT_EQ(S_OK, Call(110, {}));  // no place: nothing written
    EXPECT_EQ(S_OK, Call(120, {}));
    {
        vt::AllocationLimit noMemory(0);
        DISPPARAMS none{};
        EXPECT_EQ(E_OUTOFMEMORY,
                  g_pWebDispatcher->Invoke(120, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    }
    EXPECT_EQ(VT_EMPTY, V_VT(&result));

    // The count moves, the object stays.
    void* same = nullptr;
    EXPECT_EQ(E_NOINTERFACE, g_pWebDispatcher->QueryInterface(IID_IDocHostUIHandler, &same));
    for (int i = 0; i < 3; ++i)
        g_pWebDispatcher->Release();
    EXPECT_EQ(S_OK, Call(110, {}, &result));
}

TEST(DocHostUIHandler, AnswersTheDocumentsQuestions)
{
    auto* handler = new CDocHostUIHandlerImpl;
    wchar_t css[] = L"body{}";
    DOCHOSTUIINFO info{999, 0, 7, css, nullptr};
    EXPECT_EQ(S_OK, handler->GetHostInfo(&info));
    EXPECT_TRUE(info.cbSize == 20 && info.dwFlags == 12 && info.dwDoubleClick == 0 && info.pchHostCss == css);
    EXPECT_EQ(S_OK, handler->ShowContextMenu(0, nullptr, nullptr, nullptr));  // handled: no menu
    IDispatch* external = nullptr;
    EXPECT_EQ(S_OK, handler->GetExternal(&external));
    EXPECT_EQ(static_cast<IDispatch*>(g_pWebDispatcher), external);
    EXPECT_EQ(E_NOTIMPL, handler->TranslateAccelerator(nullptr, nullptr, 0));

    // The creator's reference, one a QueryInterface adds, one the document would take.
    void* asked = nullptr;
    EXPECT_EQ(E_NOINTERFACE, handler->QueryInterface(__uuidof(IDocHostUIHandler2), &asked));
    EXPECT_EQ(nullptr, asked);
    EXPECT_EQ(S_OK, handler->QueryInterface(IID_IUnknown, &asked));
    EXPECT_EQ(1u, handler->Release());
    EXPECT_EQ(2u, handler->AddRef());
    EXPECT_EQ(1u, handler->Release());
    EXPECT_EQ(0u, handler->Release());  // freed
}

}  // namespace
