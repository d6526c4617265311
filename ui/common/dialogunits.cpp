#include "common/dialogunits.h"

namespace kelvora::ui {

int MulDiv(int n, int numerator, int denominator) {
    const long long product = static_cast<long long>(n) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : -((-product + half) / denominator));
}

int DialogUnitsToPixelsX(int units) { return MulDiv(units, 7, 4); }
int DialogUnitsToPixelsY(int units) { return MulDiv(units, 13, 8); }

QRect DialogUnitsToPixels(int x, int y, int cx, int cy) {
    return QRect(DialogUnitsToPixelsX(x), DialogUnitsToPixelsY(y), DialogUnitsToPixelsX(cx), DialogUnitsToPixelsY(cy));
}

}  // namespace kelvora::ui
