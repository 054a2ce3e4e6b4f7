// Windows and dialogs over real Win32 windows: a C++ object per window whose virtual
// WindowProc sees every message (a switch in the derived class, no message maps),
// dialogs from the resource templates (modal and modeless), and controls of a
// template bound to member objects.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "afx/afxstr.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // The object attached to a window, or null.
    static CWnd* FromHandlePermanent(HWND window);

    // Routes an existing window's messages through this object (a control of a
    // dialog template, for example).  False when the window is already bound.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Gives the window its previous procedure back and forgets it.
    HWND UnsubclassWindow();

    // Called by the message loop before a message is dispatched; TRUE when handled.
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL DestroyWindow();

    // Thin calls on the window.
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) { return ::SetTimer(m_hWnd, id, elapseMs, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL ModifyStyleEx(DWORD remove, DWORD add);
    CString GetWindowText() const;
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }

protected:
    // Every message of the window.  Overrides handle what they need in a switch and
    // end with the base call, which runs the window's previous procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The previous procedure with the given message: the window's own default handling.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called on the control for WM_DRAWITEM that its parent received; TRUE when drawn.
    virtual BOOL OnDrawItem(DRAWITEMSTRUCT* item);

    // Starts routing the window that is about to be created on this thread through
    // this object, so that it sees WM_NCCREATE and WM_CREATE; ends when the window exists.
    void HookWindowCreate();
    static void UnhookWindowCreate();

private:
    friend LRESULT CALLBACK AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND window);
    WNDPROC m_previousProc = nullptr;
};

LRESULT CALLBACK AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Offers msg to the windows it is meant for, from its target up to the top-level
// window, each through PreTranslateMessage; TRUE when one of them handled it.
BOOL AfxPreTranslateMessage(MSG* msg);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Creates the dialog modeless from its template; the parent becomes its owner.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Creates the dialog, disables its owner, and runs messages until EndDialog or a
    // quit message; a quit message is posted again for the loop outside.  The window
    // is destroyed before the result (the EndDialog value, or IDABORT on a quit message) returns.
    INT_PTR DoModal();
    void EndDialog(int result);

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // WM_INITDIALOG: the base binds the members (DoDataExchange).  TRUE lets the
    // system set the focus.
    virtual BOOL OnInitDialog();
    // Binds members to the template's controls; called once by OnInitDialog.
    virtual void DoDataExchange() {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Binds member to the template's control id; a missing control is skipped.
    void BindControl(int id, CWnd& member);

    UINT m_templateId;
    CWnd* m_pParentWnd;

private:
    HWND CreateFromTemplate(HWND owner);
    bool m_modal = false;
    bool m_endModal = false;
    int m_modalResult = 0;
};

// Controls of a template, bound to members that paint or configure them.
class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
    int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, pos)); }
};

// An owner-drawn button drawn from bitmap resources: normal, pressed, focused, disabled.
class CBitmapButton : public CWnd {
public:
    ~CBitmapButton() override;
    BOOL LoadBitmaps(UINT normal, UINT pressed = 0, UINT focused = 0, UINT disabled = 0);
    // Gives the button the size of its normal bitmap.
    void SizeToContent();

protected:
    BOOL OnDrawItem(DRAWITEMSTRUCT* item) override;

private:
    void FreeBitmaps();
    HBITMAP m_bitmaps[4] = {};  // normal, pressed, focused, disabled
};
