// The page's WebBrowser control: created by its class id in a dialog and driven through
// its automation interface by DISPID; its navigation events go to the dialog.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "afx/afxocx.h"
#include "afx/afxstr.h"

// The events of the control that the content dialogs handle, with the arguments as the
// control passes them.  Cancel is the control's 16-bit VARIANT_BOOL.
class CWebBrowserEvents {
public:
    virtual void OnBeforeNavigate2(IDispatch* /*pDisp*/, VARIANT* /*URL*/, VARIANT* /*Flags*/,
                                   VARIANT* /*TargetFrameName*/, VARIANT* /*PostData*/, VARIANT* /*Headers*/,
                                   VARIANT_BOOL* /*Cancel*/)
    {
    }
    virtual void OnNavigateComplete2(IDispatch* /*pDisp*/, VARIANT* /*URL*/) {}
    virtual void OnDocumentComplete(IDispatch* /*pDisp*/, VARIANT* /*URL*/) {}
    virtual void OnNewWindow3(IDispatch** /*ppDisp*/, VARIANT_BOOL* /*Cancel*/, DWORD /*dwFlags*/,
                              const char* /*bstrUrlContext*/, const char* /*bstrUrl*/)
    {
    }

protected:
    ~CWebBrowserEvents() = default;
};

// The events' DISPIDs on the control's outgoing interface.
enum : DISPID {
    DISPID_BROWSER_BEFORENAVIGATE2 = 250,
    DISPID_BROWSER_NAVIGATECOMPLETE2 = 252,
    DISPID_BROWSER_ONVISIBLE = 254,
    DISPID_BROWSER_DOCUMENTCOMPLETE = 259,
    DISPID_BROWSER_NEWWINDOW3 = 273,
};

// The string of an event's URL argument (by reference or not) as 8-bit text.
CString UrlText(const VARIANT* url);

extern const CLSID CLSID_VorlanWebBrowser;      // {8856F961-340A-11D0-A96B-00C04FD705A2}
extern const IID DIID_VorlanWebBrowserEvents2;  // {34A715A0-6587-11D0-924A-0020AFC7AC4D}

class CExplorer1 : public COleControlWnd {
public:
    // Creates the control as a child window; the class name and the context are unused.
    BOOL Create(const char* className, const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                void* context = nullptr);
    // Creates the control where the dialog template has its placeholder id; events go to
    // events from the start.
    BOOL CreateInPlaceOf(CWnd* parent, UINT id, CWebBrowserEvents* events);

    // A null optional argument is passed as missing.
    void Navigate(const char* URL, VARIANT* Flags = nullptr, VARIANT* TargetFrameName = nullptr,
                  VARIANT* PostData = nullptr, VARIANT* Headers = nullptr);
    void Stop();
    // The loaded document (the caller releases it), or null while there is none.
    IDispatch* get_Document();
    void put_Visible(BOOL visible);
    void put_Silent(BOOL silent);

protected:
    void OnControlEvent(DISPID event, DISPPARAMS* params) override;

private:
    CWebBrowserEvents* m_events = nullptr;
};
