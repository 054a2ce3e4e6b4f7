// Device contexts, GDI objects and rectangles, each owning its handle (RAII).
#pragma once

#include <windows.h>

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& rect) : RECT(rect) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// A GDI object (brush, bitmap, font) that deletes its handle.
template <typename Handle>
class CGdiObjectT {
public:
    CGdiObjectT() = default;
    ~CGdiObjectT() { DeleteObject(); }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;
    Handle m_hObject = nullptr;
    operator Handle() const { return m_hObject; }
    Handle GetSafeHandle() const { return m_hObject; }
    void Attach(Handle handle)
    {
        DeleteObject();
        m_hObject = handle;
    }
    BOOL DeleteObject()
    {
        if (!m_hObject)
            return FALSE;
        ::DeleteObject(m_hObject);
        m_hObject = nullptr;
        return TRUE;
    }
};

class CBrush : public CGdiObjectT<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color)
    {
        Attach(::CreateSolidBrush(color));
        return m_hObject != nullptr;
    }
};

class CBitmap : public CGdiObjectT<HBITMAP> {
public:
    BOOL CreateCompatibleBitmap(HDC dc, int width, int height)
    {
        Attach(::CreateCompatibleBitmap(dc, width, height));
        return m_hObject != nullptr;
    }
};

class CFont : public CGdiObjectT<HFONT> {
public:
    BOOL CreateFontIndirect(const LOGFONTA& font)
    {
        Attach(::CreateFontIndirectA(&font));
        return m_hObject != nullptr;
    }
};

// A device context.  One that this object created (a memory context) is deleted
// with it; one that it only borrows is left alone.
class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    BOOL CreateCompatibleDC(HDC dc);
    // Takes dc as borrowed: left alone by DeleteDC and the destructor.  A context this
    // object created is deleted first.
    void Attach(HDC dc);
    HDC Detach();
    BOOL DeleteDC();
    BOOL IsPrinting() const { return FALSE; }

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    int GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }
    BOOL FillRect(const RECT& rect, HBRUSH brush) { return ::FillRect(m_hDC, &rect, brush); }
    BOOL BitBlt(int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, width, height, source, sourceX, sourceY, rop);
    }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    POINT SetWindowOrg(int x, int y);
    int DrawText(const char* text, RECT* rect, UINT format)
    {
        return ::DrawTextA(m_hDC, text, -1, rect, format);
    }
    BOOL TextOut(int x, int y, const char* text, int length) { return ::TextOutA(m_hDC, x, y, text, length); }

private:
    bool m_owned = false;
};

// BeginPaint and EndPaint of a window, for the life of the object.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND window);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

private:
    HWND m_window;
};

// GetDC and ReleaseDC of a window, for the life of the object.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window);
    ~CClientDC() override;

private:
    HWND m_window;
};
