// An image held as a DIB section, decoded from PNG (or any format GDI+ reads).
// Images with an alpha channel keep it: 32 bits per pixel, straight (not
// premultiplied) colour, top-down rows.
#pragma once

#include <windows.h>

#include <objidl.h>

class CImage {
public:
    CImage() = default;
    ~CImage() { Destroy(); }
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    // Decodes the stream; S_OK or an error code.  An earlier image is dropped first.
    HRESULT Load(IStream* stream);
    // Decodes a resource of the given type from the module (e.g. a "PNG" resource).
    HRESULT LoadFromResource(HMODULE module, UINT id, const char* type);
    void Destroy();

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetBPP() const { return m_bpp; }
    bool HasAlpha() const { return m_hasAlpha; }
    // Bytes from one row to the next (rows padded to 4 bytes; top-down, so positive).
    int GetPitch() const { return ((m_width * m_bpp + 31) / 32) * 4; }
    // First byte of the top row.
    BYTE* GetBits() const { return m_bits; }

    // Draws the image into dc: alpha-blended (source over, the pixels taken as
    // premultiplied) when it has an alpha channel, copied otherwise.
    BOOL Draw(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
              int sourceHeight) const;

private:
    HBITMAP m_bitmap = nullptr;
    BYTE* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    bool m_hasAlpha = false;
};
