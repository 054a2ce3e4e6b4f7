#include "tests/support/browser_events.h"

#include <ocidl.h>

#include <vector>

#include "afx/afxconv.h"
#include "afx/afxwnd.h"
#include "ui/explorer.h"

namespace vt {

namespace {

VARIANT Make(VARTYPE type, void* pointer)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    V_BYREF(&v) = pointer;
    return v;
}

// Invokes every connected sink with args, given in the event's declared order.
int Fire(IUnknown* control, DISPID event, std::vector<VARIANT> args)
{
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    IEnumConnections* connections = nullptr;
    int delivered = 0;
    if (control &&
        SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_VorlanWebBrowserEvents2, &point)) &&
        SUCCEEDED(point->EnumConnections(&connections))) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        // Wine's enumerator hands out the sinks without a reference of their own: none is
        // released here, or the host's sink would be freed under it.
        for (CONNECTDATA c{}; connections->Next(1, &c, nullptr) == S_OK;) {
            IDispatch* sink = nullptr;
            if (SUCCEEDED(c.pUnk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&sink)))) {
                delivered +=
                    SUCCEEDED(sink->Invoke(event, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
                sink->Release();
            }
        }
    }
    for (IUnknown* p : std::vector<IUnknown*>{connections, point, container})
        if (p)
            p->Release();
    return delivered;
}

// A BSTR in a VARIANT, freed with it.
struct Text {
    explicit Text(const std::string& text) : v(Make(VT_BSTR, nullptr)) { V_BSTR(&v) = AfxA2Bstr(text.c_str()); }
    ~Text() { VariantClear(&v); }
    VARIANT v;
};

}  // namespace

int FireBeforeNavigate2(IUnknown* control, const std::string& url, CancelFlag& cancel)
{
    Text address(url);
    VARIANT flags = Make(VT_I4, nullptr),
            empty[3] = {Make(VT_EMPTY, nullptr), Make(VT_EMPTY, nullptr), Make(VT_EMPTY, nullptr)};
    return Fire(control, DISPID_BROWSER_BEFORENAVIGATE2,
                {Make(VT_DISPATCH, nullptr), Make(VT_BYREF | VT_VARIANT, &address.v),
                 Make(VT_BYREF | VT_VARIANT, &flags), Make(VT_BYREF | VT_VARIANT, &empty[0]),
                 Make(VT_BYREF | VT_VARIANT, &empty[1]), Make(VT_BYREF | VT_VARIANT, &empty[2]),
                 Make(VT_BYREF | VT_BOOL, &cancel.value)});
}

int FireUrlEvent(IUnknown* control, DISPID event, const std::string& url)
{
    Text address(url);
    return Fire(control, event, {Make(VT_DISPATCH, nullptr), Make(VT_BYREF | VT_VARIANT, &address.v)});
}

int FireNewWindow3(IUnknown* control, const std::string& url, CancelFlag& cancel)
{
    IDispatch* newWindow = nullptr;
    Text context("http://127.0.0.1/page"), address(url);
    VARIANT flags = Make(VT_I4, nullptr);
    V_I4(&flags) = 6;  // a popup that the user started
    return Fire(control, DISPID_BROWSER_NEWWINDOW3,
                {Make(VT_BYREF | VT_DISPATCH, &newWindow), Make(VT_BYREF | VT_BOOL, &cancel.value), flags, context.v,
                 address.v});
}

void PumpMessages(DWORD waitMs)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace vt
