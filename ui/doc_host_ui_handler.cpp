#include "ui/doc_host_ui_handler.h"

#include "ui/web_dispatcher.h"

CDocHostUIHandlerImpl* g_pDocHostUIHandler = nullptr;

void InstallDocHostUIHandler(IDispatch* document)
{
    g_pDocHostUIHandler = new CDocHostUIHandlerImpl;
    ICustomDoc* custom = nullptr;
    if (SUCCEEDED(document->QueryInterface(__uuidof(ICustomDoc), reinterpret_cast<void**>(&custom)))) {
        custom->SetUIHandler(g_pDocHostUIHandler);
        custom->Release();
    }
}

HRESULT CDocHostUIHandlerImpl::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDocHostUIHandler)) {
        *ppv = static_cast<IDocHostUIHandler*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CDocHostUIHandlerImpl::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

ULONG CDocHostUIHandlerImpl::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count <= 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT CDocHostUIHandlerImpl::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*)
{
    return S_OK;  // handled: the page shows no menu
}

HRESULT CDocHostUIHandlerImpl::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info)
        return E_POINTER;
    // Only the first three members: the host's style sheet and namespaces stay as given.
    info->cbSize = 20;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT CDocHostUIHandlerImpl::GetExternal(IDispatch** dispatch)
{
    if (!dispatch)
        return E_POINTER;
    // No reference is added: the count of the one dispatcher never frees it.
    *dispatch = g_pWebDispatcher;
    return S_OK;
}

// The browser keeps its own behaviour for everything else.
HRESULT CDocHostUIHandlerImpl::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                      IOleInPlaceUIWindow*)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::HideUI()
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::UpdateUI()
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::EnableModeless(BOOL)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::OnDocWindowActivate(BOOL)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::OnFrameWindowActivate(BOOL)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::TranslateAccelerator(LPMSG, const GUID*, DWORD)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::GetOptionKeyPath(LPOLESTR*, DWORD)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::GetDropTarget(IDropTarget*, IDropTarget**)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::TranslateUrl(DWORD, LPWSTR, LPWSTR*)
{
    return E_NOTIMPL;
}
HRESULT CDocHostUIHandlerImpl::FilterDataObject(IDataObject*, IDataObject**)
{
    return E_NOTIMPL;
}
