#pragma once
#include <cstdint>

// One photo place as a layout file stores it: pixels of the 320 by 240 sheet
// canvas, four signed 32-bit values in file order. Width is right - left and
// height bottom - top; nothing forces right >= left or the place to lie on
// the canvas, so users of a rectangle check what they need.
struct SheetRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const SheetRect&, const SheetRect&) = default;
};

// A photo place of a sticker sheet.
class CRectangle {
public:
    CRectangle() = default;
    explicit CRectangle(const SheetRect& rect) : m_rect(rect) {}

    SheetRect m_rect;
};
