#pragma once
// Dialog units to pixels: the dialog templates give every size and position in units of their
// font, IPAPGothic 9 pt at 96 DPI, whose base units are 7 x 13 pixels.

#include <QRect>

namespace kelvora::ui {

/// n * numerator / denominator rounded half away from zero.
int MulDiv(int n, int numerator, int denominator);

/// Horizontal dialog units to pixels: units * 7 / 4, rounded as MulDiv rounds.
int DialogUnitsToPixelsX(int units);
/// Vertical dialog units to pixels: units * 13 / 8, rounded as MulDiv rounds.
int DialogUnitsToPixelsY(int units);
/// A template rectangle (x, y, width, height in dialog units) in pixels.
QRect DialogUnitsToPixels(int x, int y, int cx, int cy);

}  // namespace kelvora::ui
