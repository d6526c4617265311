#include "mainwindow/fieldtext.h"

namespace kelvora::ui {

QString FormatIntText(int value) { return QString::number(value); }

QString FormatDoubleText(double value) {
    // QString::asprintf formats numbers itself, in the C locale, unlike the C library's printf.
    return QString::asprintf("%.15g", value);
}

}  // namespace kelvora::ui
