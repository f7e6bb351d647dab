#pragma once
#include "photooutput.h"

// A photo place of a sticker sheet.
class CRectangle {
public:
    CRectangle() = default;
    explicit CRectangle(const SheetRect& rect) : m_rect(rect) {}

    SheetRect m_rect;
};
