// window.external of the launcher's pages: one automation object for the whole process,
// whose five methods open the game, answer the page's questions, write to the log and
// pass a login token to the lobby.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "afx/afxstr.h"

// The methods' dispatch identifiers, as pages reach them.
enum : DISPID {
    DISPID_OPENGAMEWIN = 100,
    DISPID_ISMICROCLIENT = 110,
    DISPID_GETAPPVER = 120,
    DISPID_WRITELOG = 130,
    DISPID_SYNCLOGIN = 140,
};

class CWebDispatcher : public IDispatch {
public:
    // IUnknown.  The count only moves: the one object lives until the process ends.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch.  No type information; names matched without regard to case.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    void OnOpenGameWin(const CString& url);
    void LogCString(const CString& text);
    BSTR GetAppVerBstr();
    void OnSyncLogin(const CString& token);

    LONG m_refCount = 0;
};

// The process's one window.external object, made by a static initialiser before the
// application starts; never freed.
extern CWebDispatcher* g_pWebDispatcher;
