#pragma once
// The layout chooser's picture of a layout: its places on the sheet, small.
#include "rectangle.h"

#include <QImage>
#include <span>

// The 320 by 240 sheet at 2/9 scale (coordinates truncated toward zero) in the
// top-left 71 by 53 pixels of an 80 by 60 bitmap on the chooser's background,
// each place drawn as a rectangle with a one-pixel black outline and a white
// inside, right and bottom edges excluded, later places over earlier ones. A
// place stored with its corners swapped is drawn with them put in order.
QImage DrawLayoutThumbnail(std::span<const CRectangle> places);
