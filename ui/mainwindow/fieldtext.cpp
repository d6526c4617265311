#include "mainwindow/fieldtext.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include <QByteArray>

namespace kelvora::ui {

namespace {

// The text of a field, trimmed, as bytes for std::from_chars (which ignores the locale). A single
// leading '+' is allowed, as the C library's conversions allow it; from_chars does not.
QByteArray NumberBytes(const QString& text) {
    QByteArray bytes = text.trimmed().toUtf8();
    if (bytes.size() > 1 && bytes[0] == '+' && bytes[1] != '+' && bytes[1] != '-') bytes.remove(0, 1);
    return bytes;
}

}  // namespace

QString FormatIntText(int value) { return QString::number(value); }

QString FormatDoubleText(double value) {
    // QString::asprintf formats numbers itself, in the C locale, unlike the C library's printf.
    return QString::asprintf("%.15g", value);
}

bool ParseIntText(const QString& text, int* value) {
    const QByteArray bytes = NumberBytes(text);
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    int parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, 10);
    if (error != std::errc() || end != last) return false;
    *value = parsed;
    return true;
}

bool ParseDoubleText(const QString& text, double* value) {
    const QByteArray bytes = NumberBytes(text);
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    double parsed = 0.0;
    const auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

}  // namespace kelvora::ui
