#include "afx/afxwnd.h"

#include <vector>

namespace {
const char kObjectProperty[] = "VorlanCWnd";

// The window about to be created on this thread and the hook that binds it.
thread_local CWnd* t_creating = nullptr;
thread_local HHOOK t_cbtHook = nullptr;
thread_local int t_hookDepth = 0;

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    // Every message goes through the bound object first; the dialog manager's
    // default handling is all that is left for this procedure to choose.
    return FALSE;
}

HWND ParentIfChild(HWND window)
{
    return (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
}
}  // namespace

class CWndCreationHook {
public:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND && t_creating) {
            CWnd* object = t_creating;
            t_creating = nullptr;
            object->SubclassWindow(reinterpret_cast<HWND>(wParam));
        }
        return CallNextHookEx(t_cbtHook, code, wParam, lParam);
    }
};

CWnd::~CWnd()
{
    if (m_hWnd)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    return window ? static_cast<CWnd*>(GetPropA(window, kObjectProperty)) : nullptr;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!window || m_hWnd || FromHandlePermanent(window))
        return FALSE;
    Attach(window);
    return TRUE;
}

void CWnd::Attach(HWND window)
{
    m_hWnd = window;
    SetPropA(window, kObjectProperty, this);
    m_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent && SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND window = m_hWnd;
    if (!window)
        return nullptr;
    if (IsWindow(window)) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        RemovePropA(window, kObjectProperty);
    }
    m_hWnd = nullptr;
    m_previousProc = nullptr;
    return window;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint)
{
    return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add)
{
    LONG style = GetWindowLongA(m_hWnd, GWL_EXSTYLE);
    LONG changed = (style & ~static_cast<LONG>(remove)) | static_cast<LONG>(add);
    if (changed == style)
        return FALSE;
    SetWindowLongA(m_hWnd, GWL_EXSTYLE, changed);
    return TRUE;
}

CString CWnd::GetWindowText() const
{
    int length = GetWindowTextLengthA(m_hWnd);
    std::vector<char> text(length + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, text.data(), length + 1);
    return CString(text.data(), copied > 0 ? copied : 0);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAWITEM) {
        // Owner-drawn controls draw themselves.
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        CWnd* control = FromHandlePermanent(item->hwndItem);
        if (control && control != this && control->OnDrawItem(item))
            return TRUE;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_previousProc)
        return CallWindowProcA(m_previousProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnDrawItem(DRAWITEMSTRUCT*)
{
    return FALSE;
}

void CWnd::HookWindowCreate()
{
    t_creating = this;
    if (t_hookDepth++ == 0)
        t_cbtHook = SetWindowsHookExA(WH_CBT, &CWndCreationHook::Proc, nullptr, GetCurrentThreadId());
}

void CWnd::UnhookWindowCreate()
{
    t_creating = nullptr;
    if (--t_hookDepth == 0 && t_cbtHook) {
        UnhookWindowsHookEx(t_cbtHook);
        t_cbtHook = nullptr;
    }
}

LRESULT CALLBACK AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* object = CWnd::FromHandlePermanent(window);
    if (!object)
        return ::DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = object->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's message dispatch.
        result = 0;
    }
    if (message == WM_NCDESTROY && object->m_hWnd == window)
        object->UnsubclassWindow();
    return result;
}

BOOL AfxPreTranslateMessage(MSG* msg)
{
    for (HWND window = msg->hwnd; window; window = ParentIfChild(window)) {
        CWnd* object = CWnd::FromHandlePermanent(window);
        if (object && object->PreTranslateMessage(msg))
            return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

HWND CDialog::CreateFromTemplate(HWND owner)
{
    HookWindowCreate();
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                                     &PassiveDialogProc, 0);
    UnhookWindowCreate();
    if (!window && m_hWnd)
        UnsubclassWindow();
    return window;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    if (parent)
        m_pParentWnd = parent;
    return CreateFromTemplate(m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr) != nullptr;
}

INT_PTR CDialog::DoModal()
{
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    m_modal = true;
    m_endModal = false;
    m_modalResult = -1;
    if (!CreateFromTemplate(owner)) {
        m_modal = false;
        return -1;
    }
    bool ownerDisabled = owner && IsWindowEnabled(owner);
    if (ownerDisabled)
        EnableWindow(owner, FALSE);
    // A dialog that is not yet visible is shown as the loop begins, as the
    // class library does when it first goes idle.
    if (m_hWnd && !IsWindowVisible())
        ShowWindow(SW_SHOWNORMAL);

    MSG msg;
    while (!m_endModal && m_hWnd) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The run is ending: leave the loop and let the caller's loop see the quit too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            m_modalResult = IDABORT;
            break;
        }
        if (got < 0)
            break;
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (ownerDisabled)
        EnableWindow(owner, TRUE);
    if (m_hWnd)
        DestroyWindow();
    m_modal = false;
    return m_modalResult;
}

void CDialog::EndDialog(int result)
{
    if (m_modal) {
        m_modalResult = result;
        m_endModal = true;
        PostMessage(WM_NULL);  // wakes the loop
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, result);  // hides a modeless dialog
    }
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST || !m_hWnd)
        return FALSE;
    if (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd))
        return FALSE;
    return IsDialogMessageA(m_hWnd, msg);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialog::BindControl(int id, CWnd& member)
{
    member.SubclassDlgItem(static_cast<UINT>(id), this);
}

// ---------------------------------------------------------------------------

CBitmapButton::~CBitmapButton()
{
    FreeBitmaps();
}

void CBitmapButton::FreeBitmaps()
{
    for (HBITMAP& bitmap : m_bitmaps) {
        if (bitmap)
            DeleteObject(bitmap);
        bitmap = nullptr;
    }
}

BOOL CBitmapButton::LoadBitmaps(UINT normal, UINT pressed, UINT focused, UINT disabled)
{
    FreeBitmaps();
    const UINT ids[4] = {normal, pressed, focused, disabled};
    HINSTANCE module = GetModuleHandleA(nullptr);
    for (int i = 0; i < 4; ++i)
        if (ids[i])
            m_bitmaps[i] = LoadBitmapA(module, MAKEINTRESOURCEA(ids[i]));
    return m_bitmaps[0] != nullptr;
}

void CBitmapButton::SizeToContent()
{
    BITMAP info{};
    if (m_bitmaps[0] && GetObjectA(m_bitmaps[0], sizeof(info), &info))
        SetWindowPos(m_hWnd, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CBitmapButton::OnDrawItem(DRAWITEMSTRUCT* item)
{
    HBITMAP bitmap = m_bitmaps[0];
    if ((item->itemState & ODS_DISABLED) && m_bitmaps[3])
        bitmap = m_bitmaps[3];
    else if ((item->itemState & ODS_SELECTED) && m_bitmaps[1])
        bitmap = m_bitmaps[1];
    else if ((item->itemState & ODS_FOCUS) && m_bitmaps[2])
        bitmap = m_bitmaps[2];
    if (!bitmap)
        return FALSE;
    HDC memory = CreateCompatibleDC(item->hDC);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT& r = item->rcItem;
    BitBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    return TRUE;
}
