#pragma once
// The texts of the window's number fields: how integers and doubles are written into them. Any
// text may be typed; only 計算 judges it, by the number parser both front ends share
// (session/numbers.h, through ParameterPanel).

#include <QString>

namespace kelvora::ui {

/// Integer field text: decimal, as "%d".
QString FormatIntText(int value);
/// Double field text: up to 15 significant digits, as "%.15g" ("0.1", "0.5", "0", "1e-05").
/// Always in the C locale, whatever the user's.
QString FormatDoubleText(double value);

}  // namespace kelvora::ui
