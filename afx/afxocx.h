// Hosting of an ActiveX control in a dialog: a child window of its own (the container)
// in which the control is created by class id and activated in place, with a client
// site, an in-place site and frame, ambient properties, an event sink connected before
// the control does anything, keys offered to the control first, and the control closed
// when the container window goes (with its dialog, or alone).
#pragma once

#include <windows.h>

#include <ole2.h>
#include <ocidl.h>

#include "afx/afxwnd.h"

class COleControlWnd : public CWnd {
public:
    COleControlWnd() = default;
    ~COleControlWnd() override;

    // Creates the container as a child of parent at rect (parent's client coordinates)
    // with style and id, and the control of clsid inside it.  The events of the control's
    // outgoing interface eventsIid reach OnControlEvent from the start.
    BOOL CreateControl(REFCLSID clsid, const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                       REFIID eventsIid);
    // The same in place of the parent's child window id (a placeholder of the dialog
    // template): its rectangle, visibility, tab stop, place in the tab order and id; the
    // placeholder is destroyed.
    BOOL CreateControlInPlaceOf(REFCLSID clsid, CWnd* parent, UINT id, REFIID eventsIid);

    // Calls a member of the control's automation interface: a method, a property read
    // (result) or a property write (the value as the one argument).  args are in the
    // order the member declares them.
    HRESULT InvokeHelper(DISPID id, WORD flags, VARIANT* result, const VARIANT* args = nullptr, UINT argCount = 0);
    // The control, or null before it is created and after it is closed; not AddRef'd.
    IUnknown* GetControlUnknown() const { return m_object; }

    // Key messages for the control's windows go to the control's in-place active object
    // first; those it leaves go straight to their window, so that the dialog's own key
    // handling (Tab, Enter, Escape, Backspace) never takes a key from the page.
    BOOL PreTranslateMessage(MSG* msg) override;
    // Deactivates, disconnects and closes the control; the container window stays.
    void CloseControl();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // One event of the control: its DISPID and its arguments, last first.
    virtual void OnControlEvent(DISPID event, DISPPARAMS* params);

private:
    class CSite;
    class CEventSink;
    friend class CSite;
    friend class CEventSink;

    void ConnectEvents(REFIID eventsIid);
    void SetActiveObject(IOleInPlaceActiveObject* active);

    IOleObject* m_object = nullptr;
    IDispatch* m_dispatch = nullptr;
    IOleInPlaceObject* m_inPlace = nullptr;
    IOleInPlaceActiveObject* m_active = nullptr;
    IConnectionPoint* m_connection = nullptr;
    DWORD m_cookie = 0;
    CSite* m_site = nullptr;
    CEventSink* m_sink = nullptr;
};
