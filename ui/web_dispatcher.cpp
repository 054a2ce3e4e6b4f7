#include "ui/web_dispatcher.h"

#include <new>

#include "afx/afxconv.h"
#include "base/log.h"
#include "app/version.h"
#include "app/vorlan_app.h"

namespace {

CWebDispatcher* InitWebDispatcher()
{
    return new CWebDispatcher;
}

struct MethodName {
    const wchar_t* name;
    DISPID id;
    const char* logLine;  // null: the name is looked up without a line
};

// Compared in this order; the first match wins.
const MethodName kMethods[] = {
    {L"openGameWin", DISPID_OPENGAMEWIN, "GetIDsOfNames openGameWin"},
    {L"isMicroClient", DISPID_ISMICROCLIENT, "GetIDsOfNames isMicroClient"},
    {L"getAppVer", DISPID_GETAPPVER, "GetIDsOfNames getAppVer"},
    {L"writeLog", DISPID_WRITELOG, nullptr},
    {L"syncLogin", DISPID_SYNCLOGIN, "GetIDsOfNames syncLogin"},
};

bool IsMissing(VARTYPE type)
{
    return type == VT_EMPTY || type == VT_NULL || type == VT_ERROR;
}

bool IsObject(VARTYPE type)
{
    return type == VT_DISPATCH || type == VT_UNKNOWN || type == VT_RECORD || (type & VT_ARRAY) != 0;
}

// The call's one text argument: the last one the page gave, which comes first in the
// array.  Numbers and other plain values become their text; a call without arguments,
// an undefined, null or skipped value, or an object gives false, so that a method never
// reads an argument that is not there or is not text.
bool ArgumentText(const DISPPARAMS* params, CString& text)
{
    if (!params || params->cArgs == 0 || !params->rgvarg)
        return false;
    const VARIANT& argument = params->rgvarg[0];
    const VARIANT* value = &argument;
    if (V_VT(&argument) == (VT_BYREF | VT_VARIANT)) {
        value = V_VARIANTREF(&argument);
        if (!value)
            return false;
    }
    const VARTYPE type = V_VT(value) & ~VT_BYREF;
    if (IsMissing(type) || IsObject(type))
        return false;
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, VT_BSTR)) || V_VT(&converted) != VT_BSTR)
        return false;
    try {
        text = AfxW2A(V_BSTR(&converted));
    } catch (const std::bad_alloc&) {
        VariantClear(&converted);
        throw;
    }
    VariantClear(&converted);
    return true;
}

}  // namespace

CWebDispatcher* g_pWebDispatcher = InitWebDispatcher();

HRESULT CWebDispatcher::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        // No reference is added: the count never frees this object.
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CWebDispatcher::AddRef()
{
    return static_cast<ULONG>(++m_refCount);
}

ULONG CWebDispatcher::Release()
{
    return static_cast<ULONG>(--m_refCount);
}

HRESULT CWebDispatcher::GetTypeInfoCount(UINT*)
{
    return E_FAIL;
}

HRESULT CWebDispatcher::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_FAIL;
}

HRESULT CWebDispatcher::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID, DISPID* ids)
{
    if (nameCount == 0)
        return S_OK;
    if (!names || !ids)
        return E_POINTER;
    // Named arguments (the names after the first) are never known: no method has any.
    for (UINT i = 0; i < nameCount; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (names[0]) {
        for (const MethodName& method : kMethods) {
            if (lstrcmpiW(names[0], method.name) != 0)
                continue;
            ids[0] = method.id;
            if (method.logLine)
                WriteLog("%s", method.logLine);
            break;
        }
    }
    for (UINT i = 0; i < nameCount; ++i) {
        if (ids[i] == DISPID_UNKNOWN)
            return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
}

HRESULT CWebDispatcher::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*)
{
    // Nothing may throw back into the page's script engine.
    try {
        CString argument;
        switch (id) {
        case DISPID_OPENGAMEWIN:
            WriteLog("Invoke openGameWin");
            if (ArgumentText(params, argument))
                OnOpenGameWin(argument);
            else
                LogCString("openGameWin无法获取参数！");
            break;
        case DISPID_ISMICROCLIENT:
            if (result) {
                VariantInit(result);
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = VARIANT_TRUE;
            }
            break;
        case DISPID_GETAPPVER:
            if (result) {
                BSTR version = GetAppVerBstr();
                if (!version)
                    return E_OUTOFMEMORY;
                VariantInit(result);
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = version;
            }
            break;
        case DISPID_WRITELOG:
            LogCString(ArgumentText(params, argument) ? argument : CString("writeLog无法获取参数！"));
            break;
        case DISPID_SYNCLOGIN:
            if (ArgumentText(params, argument))
                OnSyncLogin(argument);
            else
                LogCString("2144 syncLogin参数错误！");
            break;
        default: break;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CWebDispatcher::OnOpenGameWin(const CString& url)
{
    WriteLog("url: %s", url.GetString());
    if (CVorlanClientApp* app = GetVorlanApp())
        app->OpenGameWindow("servername", url);
}

void CWebDispatcher::LogCString(const CString& text)
{
    WriteLog("%s", text.GetString());
}

BSTR CWebDispatcher::GetAppVerBstr()
{
    return AfxA2Bstr(GetAppVersionText());
}

void CWebDispatcher::OnSyncLogin(const CString& token)
{
    if (CVorlanClientApp* app = GetVorlanApp())
        app->SyncLogin2144(token);
}
