#include "tests/support/browser_events.h"

#include <ocidl.h>

#include <vector>

#include "afx/afxconv.h"
#include "ui/explorer.h"

namespace vt {

VARIANT Variant(VARTYPE type, LONG number)
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

namespace {

// Invokes every connected sink with args, given in the event's declared order, then frees
// the BSTRs among them.
int Fire(IUnknown* control, DISPID event, std::vector<VARIANT> args)
{
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    IEnumConnections* connections = nullptr;
    int delivered = 0;
    if (control && SUCCEEDED(control->QueryInterface(IID_PPV_ARGS(&container))) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_VorlanWebBrowserEvents2, &point)) &&
        SUCCEEDED(point->EnumConnections(&connections))) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        // Wine's enumerator hands out the sinks without a reference of their own: none is
        // released here, or the host's sink would be freed under it.
        for (CONNECTDATA c{}; connections->Next(1, &c, nullptr) == S_OK;) {
            IDispatch* sink = nullptr;
            if (SUCCEEDED(c.pUnk->QueryInterface(IID_PPV_ARGS(&sink)))) {
                delivered += SUCCEEDED(sink->Invoke(event, IID_NULL, 0, DISPATCH_METHOD, &params, 0, 0, 0));
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

}  // namespace

int FireBeforeNavigate2(IUnknown* control, const std::string& url, CancelFlag& cancel)
{
    VARIANT address = Text(url), none[4] = {Variant(VT_I4), Variant(VT_EMPTY), Variant(VT_EMPTY), Variant(VT_EMPTY)};
    return Fire(control, DISPID_BROWSER_BEFORENAVIGATE2,
                {Variant(VT_DISPATCH), ByRef(VT_VARIANT, &address), ByRef(VT_VARIANT, &none[0]),
                 ByRef(VT_VARIANT, &none[1]), ByRef(VT_VARIANT, &none[2]), ByRef(VT_VARIANT, &none[3]),
                 ByRef(VT_BOOL, &cancel.value)});
}

int FireUrlEvent(IUnknown* control, DISPID event, const std::string& url)
{
    VARIANT address = Text(url);
    return Fire(control, event, {Variant(VT_DISPATCH), ByRef(VT_VARIANT, &address)});
}

int FireNewWindow3(IUnknown* control, const std::string& url, CancelFlag& cancel)
{
    IDispatch* newWindow = nullptr;
    const LONG userPopup = 6;
    return Fire(control, DISPID_BROWSER_NEWWINDOW3,
                {ByRef(VT_DISPATCH, &newWindow), ByRef(VT_BOOL, &cancel.value), Variant(VT_I4, userPopup),
                 Text("http://127.0.0.1/page"), Text(url)});
}

}  // namespace vt
