#include "ui/explorer.h"

#include "afx/afxconv.h"

const CLSID CLSID_VorlanWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const IID DIID_VorlanWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};

namespace {
enum : DISPID {
    DISPID_BROWSER_NAVIGATE = 104,
    DISPID_BROWSER_STOP = 106,
    DISPID_BROWSER_DOCUMENT = 203,
    DISPID_BROWSER_VISIBLE = 402,
    DISPID_BROWSER_SILENT = 551,
};

// What an argument refers to when it is a VARIANT by reference, else the argument itself.
VARIANT* Referenced(VARIANT& argument)
{
    if (V_VT(&argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&argument))
        return V_VARIANTREF(&argument);
    return &argument;
}

VARIANT Missing()
{
    VARIANT missing;
    VariantInit(&missing);
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    return missing;
}

VARIANT Optional(VARIANT* given)
{
    if (!given)
        return Missing();
    VARIANT reference;
    VariantInit(&reference);
    V_VT(&reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&reference) = given;
    return reference;
}

VARIANT Bool(BOOL value)
{
    VARIANT variant;
    VariantInit(&variant);
    V_VT(&variant) = VT_BOOL;
    V_BOOL(&variant) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return variant;
}

// The control's Cancel, or a stand-in when the argument is not one: a handler may always write it.
VARIANT_BOOL* CancelOf(VARIANT& argument, VARIANT_BOOL& standIn)
{
    return V_VT(&argument) == (VT_BYREF | VT_BOOL) && V_BOOLREF(&argument) ? V_BOOLREF(&argument) : &standIn;
}

IDispatch* DispatchOf(const VARIANT& argument)
{
    return V_VT(&argument) == VT_DISPATCH ? V_DISPATCH(&argument) : nullptr;
}
}  // namespace

CString UrlText(const VARIANT* url)
{
    if (!url)
        return CString();
    if (V_VT(url) == (VT_BYREF | VT_VARIANT))
        return UrlText(V_VARIANTREF(url));
    if (V_VT(url) == (VT_BYREF | VT_BSTR))
        return V_BSTRREF(url) ? AfxW2A(*V_BSTRREF(url)) : CString();
    return V_VT(url) == VT_BSTR ? AfxW2A(V_BSTR(url)) : CString();
}

BOOL CExplorer1::Create(const char*, const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                        void*)
{
    return CreateControl(CLSID_VorlanWebBrowser, windowName, style, rect, parent, id, DIID_VorlanWebBrowserEvents2);
}

BOOL CExplorer1::CreateInPlaceOf(CWnd* parent, UINT id, CWebBrowserEvents* events)
{
    m_events = events;
    return CreateControlInPlaceOf(CLSID_VorlanWebBrowser, parent, id, DIID_VorlanWebBrowserEvents2);
}

void CExplorer1::Navigate(const char* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                          VARIANT* Headers)
{
    VARIANT args[5];
    VariantInit(&args[0]);
    V_VT(&args[0]) = VT_BSTR;
    V_BSTR(&args[0]) = AfxA2Bstr(URL);
    args[1] = Optional(Flags);
    args[2] = Optional(TargetFrameName);
    args[3] = Optional(PostData);
    args[4] = Optional(Headers);
    if (V_BSTR(&args[0]))
        InvokeHelper(DISPID_BROWSER_NAVIGATE, DISPATCH_METHOD, nullptr, args, 5);
    SysFreeString(V_BSTR(&args[0]));
}

void CExplorer1::Stop()
{
    InvokeHelper(DISPID_BROWSER_STOP, DISPATCH_METHOD, nullptr);
}

IDispatch* CExplorer1::get_Document()
{
    VARIANT result;
    VariantInit(&result);
    if (FAILED(InvokeHelper(DISPID_BROWSER_DOCUMENT, DISPATCH_PROPERTYGET, &result)) || V_VT(&result) != VT_DISPATCH) {
        VariantClear(&result);
        return nullptr;
    }
    return V_DISPATCH(&result);  // the reference passes to the caller
}

void CExplorer1::put_Visible(BOOL visible)
{
    VARIANT value = Bool(visible);
    InvokeHelper(DISPID_BROWSER_VISIBLE, DISPATCH_PROPERTYPUT, nullptr, &value, 1);
}

void CExplorer1::put_Silent(BOOL silent)
{
    VARIANT value = Bool(silent);
    InvokeHelper(DISPID_BROWSER_SILENT, DISPATCH_PROPERTYPUT, nullptr, &value, 1);
}

// Each event is handed on only with the number of arguments it has; the arguments
// arrive last first.
void CExplorer1::OnControlEvent(DISPID event, DISPPARAMS* params)
{
    VARIANT* a = params->rgvarg;
    const UINT count = a ? params->cArgs : 0;
    VARIANT_BOOL standIn = VARIANT_FALSE;
    switch (event) {
    case DISPID_BROWSER_ONVISIBLE:
        // The control asks its container to show or hide it.
        if (count == 1 && V_VT(&a[0]) == VT_BOOL)
            ShowWindow(V_BOOL(&a[0]) ? SW_SHOW : SW_HIDE);
        break;
    case DISPID_BROWSER_BEFORENAVIGATE2:
        if (m_events && count == 7)
            m_events->OnBeforeNavigate2(DispatchOf(a[6]), Referenced(a[5]), Referenced(a[4]), Referenced(a[3]),
                                        Referenced(a[2]), Referenced(a[1]), CancelOf(a[0], standIn));
        break;
    case DISPID_BROWSER_NAVIGATECOMPLETE2:
        if (m_events && count == 2)
            m_events->OnNavigateComplete2(DispatchOf(a[1]), Referenced(a[0]));
        break;
    case DISPID_BROWSER_DOCUMENTCOMPLETE:
        if (m_events && count == 2)
            m_events->OnDocumentComplete(DispatchOf(a[1]), Referenced(a[0]));
        break;
    case DISPID_BROWSER_NEWWINDOW3:
        if (m_events && count == 5) {
            IDispatch* ignored = nullptr;
            IDispatch** ppDisp =
                V_VT(&a[4]) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(&a[4]) ? V_DISPATCHREF(&a[4]) : &ignored;
            const DWORD flags = V_VT(&a[2]) == VT_I4 || V_VT(&a[2]) == VT_UI4 ? V_UI4(&a[2]) : 0;
            m_events->OnNewWindow3(ppDisp, CancelOf(a[3], standIn), flags, UrlText(&a[1]), UrlText(&a[0]));
        }
        break;
    default: break;
    }
}
