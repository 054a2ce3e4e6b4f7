#include "tests/support/browser_events.h"

#include <ocidl.h>

#include <vector>

#include "afx/afxconv.h"
#include "afx/afxwnd.h"
#include "ui/explorer.h"

namespace vt {
namespace {

VARIANT Make(VARTYPE type, void* pointer = nullptr)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    V_BYREF(&v) = pointer;
    return v;
}

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

VARIANT Text(const std::string& text)
{
    return Make(VT_BSTR, AfxA2Bstr(text.c_str()));
}

}  // namespace

int FireBeforeNavigate2(IUnknown* control, const std::string& url, CancelFlag& cancel)
{
    VARIANT address = Text(url), none[4] = {Make(VT_I4), Make(VT_EMPTY), Make(VT_EMPTY), Make(VT_EMPTY)};
    return Fire(control, DISPID_BROWSER_BEFORENAVIGATE2,
                {Make(VT_DISPATCH), Make(VT_BYREF | VT_VARIANT, &address), Make(VT_BYREF | VT_VARIANT, &none[0]),
                 Make(VT_BYREF | VT_VARIANT, &none[1]), Make(VT_BYREF | VT_VARIANT, &none[2]),
                 Make(VT_BYREF | VT_VARIANT, &none[3]), Make(VT_BYREF | VT_BOOL, &cancel.value)});
}

int FireUrlEvent(IUnknown* control, DISPID event, const std::string& url)
{
    VARIANT address = Text(url);
    return Fire(control, event, {Make(VT_DISPATCH), Make(VT_BYREF | VT_VARIANT, &address)});
}

int FireNewWindow3(IUnknown* control, const std::string& url, CancelFlag& cancel)
{
    IDispatch* newWindow = nullptr;
    VARIANT flags = Make(VT_I4);
    V_I4(&flags) = 6;  // a popup that the user started
    return Fire(control, DISPID_BROWSER_NEWWINDOW3,
                {Make(VT_BYREF | VT_DISPATCH, &newWindow), Make(VT_BYREF | VT_BOOL, &cancel.value), flags,
                 Text("http://127.0.0.1/page"), Text(url)});
}

void PumpMessages(DWORD waitMs)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT)
            return PostQuitMessage(static_cast<int>(msg.wParam));  // left for QuitWasPosted
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool QuitWasPosted()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

}  // namespace vt
