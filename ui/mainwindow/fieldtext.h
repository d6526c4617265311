#pragma once
// The texts of the window's number fields: how integers and doubles are written into them and read
// back. Any text may be typed; only 計算 judges it (ParameterPanel).

#include <QString>

namespace kelvora::ui {

/// Integer field text: decimal, as "%d".
QString FormatIntText(int value);
/// Double field text: up to 15 significant digits, as "%.15g" ("0.1", "0.5", "0", "1e-05").
/// Always in the C locale, whatever the user's.
QString FormatDoubleText(double value);

/// Reads an integer field: the whole text, spaces around it allowed, must be one decimal integer
/// within int's range. C locale; no digit grouping.
bool ParseIntText(const QString& text, int* value);
/// Reads a double field: the whole text, spaces around it allowed, must be one finite decimal
/// number (fixed or exponent form). C locale: the decimal point is '.', whatever the user's locale.
/// nan, inf and values beyond double's range (1e999) are rejected.
bool ParseDoubleText(const QString& text, double* value);

}  // namespace kelvora::ui
