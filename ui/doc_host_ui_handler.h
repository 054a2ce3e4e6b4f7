// The document host UI handler that the web page dialog installs on its document: no
// context menu, no 3-D border, no scroll bars, and window.external for the page.  Every
// other host question is left to the browser's own default (E_NOTIMPL).
#pragma once

#include <windows.h>

#include <mshtmhst.h>

class CDocHostUIHandlerImpl : public IDocHostUIHandler {
public:
    // Made with one reference, the creator's.
    CDocHostUIHandlerImpl() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Frees the object when the count reaches 0.
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget,
                                              IDispatch* object) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                                     IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, const GUID* commandGroup, DWORD commandId) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR urlIn, LPWSTR* urlOut) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* in, IDataObject** out) override;

private:
    virtual ~CDocHostUIHandlerImpl() = default;  // only Release frees it

    LONG m_refCount = 1;
};

// The handler of the web page dialog's document, or null before one was made; the
// dialog holds one reference through it.
extern CDocHostUIHandlerImpl* g_pDocHostUIHandler;

// Makes g_pDocHostUIHandler and gives it to document (through its ICustomDoc, which
// takes a reference of its own).
void InstallDocHostUIHandler(IDispatch* document);
