// A double buffer for painting: a memory device context the size of the target's
// clip box, drawn on in the target's own coordinates and copied to the target in one
// BitBlt when the object goes out of scope, so the target never shows a half-drawn
// picture.
#pragma once

#include "afx/afxgdi.h"

class CMYMemDC : public CDC {
public:
    explicit CMYMemDC(CDC* target);
    ~CMYMemDC() override;

private:
    CBitmap m_bitmap;
    HGDIOBJ m_oldBitmap = nullptr;  // selected in the memory context before m_bitmap
    CDC* m_pDC;                     // the target
    CRect m_rect;                   // the target's clip box: what the buffer covers
    BOOL m_bMemDC;                  // FALSE for a printing target, drawn on directly
};
