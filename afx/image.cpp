#include "afx/afximage.h"

#include <gdiplus.h>

namespace {
// GDI+ is started once, on first use, and left running until the process ends.
bool StartGdiplus()
{
    static bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

HRESULT CopyResourceToStream(HMODULE module, UINT id, const char* type, IStream** stream)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!resource)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, resource);
    if (!bytes || size == 0)
        return E_FAIL;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream);
    if (FAILED(hr))
        return hr;
    ULARGE_INTEGER length{};
    length.QuadPart = size;
    ULONG written = 0;
    LARGE_INTEGER start{};
    hr = (*stream)->SetSize(length);
    if (SUCCEEDED(hr))
        hr = (*stream)->Write(bytes, size, &written);
    if (SUCCEEDED(hr))
        hr = (*stream)->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) {
        (*stream)->Release();
        *stream = nullptr;
    }
    return hr;
}
}  // namespace

HRESULT CImage::Load(IStream* stream)
{
    Destroy();
    if (!stream || !StartGdiplus())
        return E_FAIL;
    Gdiplus::Bitmap decoded(stream);
    if (decoded.GetLastStatus() != Gdiplus::Ok)
        return E_FAIL;
    const int width = static_cast<int>(decoded.GetWidth());
    const int height = static_cast<int>(decoded.GetHeight());
    const bool alpha = Gdiplus::IsAlphaPixelFormat(decoded.GetPixelFormat());
    const int bpp = alpha ? 32 : 24;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return E_OUTOFMEMORY;

    m_bitmap = bitmap;
    m_bits = static_cast<BYTE*>(bits);
    m_width = width;
    m_height = height;
    m_bpp = bpp;
    m_hasAlpha = alpha;

    // GDI+ writes straight into the DIB section's rows.
    Gdiplus::BitmapData data{};
    data.Width = width;
    data.Height = height;
    data.Stride = GetPitch();
    data.PixelFormat = alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    data.Scan0 = m_bits;
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::Status status = decoded.LockBits(
        &all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, data.PixelFormat, &data);
    if (status == Gdiplus::Ok)
        decoded.UnlockBits(&data);
    if (status != Gdiplus::Ok) {
        Destroy();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CImage::LoadFromResource(HMODULE module, UINT id, const char* type)
{
    IStream* stream = nullptr;
    HRESULT hr = CopyResourceToStream(module, id, type, &stream);
    if (FAILED(hr))
        return hr;
    hr = Load(stream);
    stream->Release();
    return hr;
}

void CImage::Destroy()
{
    if (m_bitmap)
        DeleteObject(m_bitmap);
    m_bitmap = nullptr;
    m_bits = nullptr;
    m_width = m_height = m_bpp = 0;
    m_hasAlpha = false;
}

BOOL CImage::Draw(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                  int sourceHeight) const
{
    if (!m_bitmap)
        return FALSE;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, m_bitmap);
    BOOL drawn;
    if (m_hasAlpha) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        drawn = AlphaBlend(dc, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, blend);
    } else {
        drawn = StretchBlt(dc, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, SRCCOPY);
    }
    SelectObject(source, old);
    DeleteDC(source);
    return drawn;
}
