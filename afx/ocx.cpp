#include "afx/afxocx.h"

#include <olectl.h>

#include <algorithm>
#include <vector>

namespace {
const char kContainerClass[] = "VorlanOleControlHost";

bool RegisterContainerClass()
{
    static const bool registered = [] {
        WNDCLASSA type{};
        type.lpfnWndProc = DefWindowProcA;
        type.hInstance = GetModuleHandleA(nullptr);
        type.hCursor = LoadCursor(nullptr, IDC_ARROW);
        type.lpszClassName = kContainerClass;
        return RegisterClassA(&type) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

template <typename T> void ReleaseAndClear(T*& pointer)
{
    if (pointer)
        pointer->Release();
    pointer = nullptr;
}

// What the container's COM objects share: a dispatch without type information, the
// further interfaces, and a reference count that deletes the object at zero.
template <typename... Interfaces> class CDispatchObject : public Interfaces..., public IDispatch {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG count = InterlockedDecrement(&m_refCount);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }

protected:
    virtual ~CDispatchObject() = default;

private:
    LONG m_refCount = 1;
};
}  // namespace

// The control's view of its container: client site, in-place site and frame, and the
// ambient properties.  The control may hold it longer than the container lives, so it
// is reference-counted and forgets its owner when the control is closed.
class COleControlWnd::CSite : public CDispatchObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame> {
public:
    explicit CSite(COleControlWnd* owner) : m_owner(owner) {}
    void Detach() { m_owner = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *ppv = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
            *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
            *ppv = static_cast<IOleInPlaceFrame*>(this);
        else if (IsEqualIID(riid, IID_IDispatch))
            *ppv = static_cast<IDispatch*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    // IOleClientSite: no storage, no container of documents.
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        if (moniker)
            *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override
    {
        if (container)
            *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, for the site and the frame alike: the container window.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = m_owner ? m_owner->m_hWnd : nullptr;
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite: the control fills the container's client area.
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return m_owner ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        if (!frame || !document || !position || !clip || !info || !m_owner)
            return E_INVALIDARG;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        ::GetClientRect(m_owner->m_hWnd, position);
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(m_owner->m_hWnd, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override
    {
        if (m_owner && m_owner->m_inPlace && rect)
            m_owner->m_inPlace->SetObjectRects(rect, rect);
        return S_OK;
    }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: no tool space, menus or accelerators of
    // the frame; the active object is kept for the keys.
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override
    {
        if (m_owner)
            m_owner->SetActiveObject(active);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDispatch: the ambient properties that a control asks its container for.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override
    {
        if (!(flags & DISPATCH_PROPERTYGET) || !result)
            return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        switch (id) {
        case DISPID_AMBIENT_USERMODE:  // running, not being designed
            V_VT(result) = VT_BOOL, V_BOOL(result) = VARIANT_TRUE;
            return S_OK;
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_SHOWHATCHING:
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_MESSAGEREFLECT: V_VT(result) = VT_BOOL, V_BOOL(result) = VARIANT_FALSE; return S_OK;
        case DISPID_AMBIENT_LOCALEID:
            V_VT(result) = VT_I4, V_I4(result) = static_cast<LONG>(GetUserDefaultLCID());
            return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    ~CSite() override = default;
    COleControlWnd* m_owner;
};

// The dispatch that the control calls for each event of its outgoing interface.
class COleControlWnd::CEventSink : public CDispatchObject<> {
public:
    CEventSink(COleControlWnd* owner, REFIID eventsIid) : m_owner(owner), m_eventsIid(eventsIid) {}
    void Detach() { m_owner = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_eventsIid)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        DISPPARAMS none{};
        try {
            if (m_owner)
                m_owner->OnControlEvent(id, params ? params : &none);
        } catch (...) {
            // Nothing may unwind into the control.
        }
        return S_OK;
    }

private:
    ~CEventSink() override = default;
    COleControlWnd* m_owner;
    IID m_eventsIid;
};

COleControlWnd::~COleControlWnd()
{
    CloseControl();
}

BOOL COleControlWnd::CreateControl(REFCLSID clsid, const char* windowName, DWORD style, const RECT& rect, CWnd* parent,
                                   UINT id, REFIID eventsIid)
{
    if (m_hWnd || !parent || !parent->m_hWnd || !RegisterContainerClass())
        return FALSE;
    HWND window = CreateWindowExA(
        0, kContainerClass, windowName ? windowName : "", style | WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent->m_hWnd,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    if (!window || !SubclassWindow(window)) {
        if (window)
            ::DestroyWindow(window);
        return FALSE;
    }
    m_site = new CSite(this);
    m_sink = new CEventSink(this, eventsIid);
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(&m_object));
    if (SUCCEEDED(hr)) {
        m_object->SetClientSite(static_cast<IOleClientSite*>(m_site));
        IPersistStreamInit* persist = nullptr;
        if (SUCCEEDED(m_object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
            persist->InitNew();
            persist->Release();
        }
        // Before activation: the control may navigate or fire as soon as it is active.
        ConnectEvents(eventsIid);
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site), 0, m_hWnd,
                              &client);
    }
    if (SUCCEEDED(hr) && m_object) {
        m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace));
        m_object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_dispatch));
        if (!m_active)
            m_object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&m_active));
    }
    if (FAILED(hr) || !m_dispatch) {
        DestroyWindow();  // closes whatever was made
        return FALSE;
    }
    return TRUE;
}

BOOL COleControlWnd::CreateControlInPlaceOf(REFCLSID clsid, CWnd* parent, UINT id, REFIID eventsIid)
{
    HWND placeholder = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
    if (!placeholder)
        return FALSE;
    RECT rect;
    ::GetWindowRect(placeholder, &rect);
    MapWindowPoints(nullptr, parent->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    const DWORD kept = WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_DISABLED;
    const DWORD style = static_cast<DWORD>(GetWindowLongA(placeholder, GWL_STYLE)) & kept;
    if (!CreateControl(clsid, nullptr, style, rect, parent, id, eventsIid))
        return FALSE;
    SetWindowPos(m_hWnd, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::DestroyWindow(placeholder);
    return TRUE;
}

void COleControlWnd::ConnectEvents(REFIID eventsIid)
{
    if (IsEqualIID(eventsIid, IID_NULL))
        return;
    IConnectionPointContainer* container = nullptr;
    if (FAILED(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))))
        return;
    if (SUCCEEDED(container->FindConnectionPoint(eventsIid, &m_connection)) &&
        FAILED(m_connection->Advise(m_sink, &m_cookie)))
        ReleaseAndClear(m_connection);
    container->Release();
}

void COleControlWnd::SetActiveObject(IOleInPlaceActiveObject* active)
{
    if (active)
        active->AddRef();
    ReleaseAndClear(m_active);
    m_active = active;
}

void COleControlWnd::CloseControl()
{
    // The events first, so that nothing reaches the owner while the control goes.
    if (m_sink)
        m_sink->Detach();
    if (m_connection) {
        m_connection->Unadvise(m_cookie);
        ReleaseAndClear(m_connection);
    }
    if (m_inPlace)
        m_inPlace->InPlaceDeactivate();
    ReleaseAndClear(m_inPlace);
    SetActiveObject(nullptr);
    ReleaseAndClear(m_dispatch);
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        ReleaseAndClear(m_object);
    }
    if (m_site) {
        m_site->Detach();
        m_site->Release();
        m_site = nullptr;
    }
    if (m_sink) {
        m_sink->Release();
        m_sink = nullptr;
    }
}

HRESULT COleControlWnd::InvokeHelper(DISPID id, WORD flags, VARIANT* result, const VARIANT* args, UINT argCount)
{
    if (!m_dispatch)
        return E_UNEXPECTED;
    // Automation takes the arguments last first.
    std::vector<VARIANT> reversed(args, args + (args ? argCount : 0));
    std::reverse(reversed.begin(), reversed.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr =
        m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argumentError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

BOOL COleControlWnd::PreTranslateMessage(MSG* msg)
{
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST || !m_object || !m_hWnd)
        return FALSE;
    if (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd))
        return FALSE;
    if (IOleInPlaceActiveObject* active = m_active) {
        active->AddRef();  // the control may go while it handles the key
        const HRESULT hr = active->TranslateAccelerator(msg);
        active->Release();
        if (hr == S_OK)
            return TRUE;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

LRESULT COleControlWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (m_inPlace) {
            RECT client;
            ::GetClientRect(m_hWnd, &client);
            m_inPlace->SetObjectRects(&client, &client);
        }
        break;
    case WM_DESTROY:
        // The control's own windows still exist here: they go after their parent's WM_DESTROY.
        CloseControl();
        break;
    default: break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void COleControlWnd::OnControlEvent(DISPID, DISPPARAMS*) {}
