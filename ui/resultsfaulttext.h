#pragma once
// A results.csv fault in the window's language.

#include <QString>

#include "io/results_reader.h"

namespace kelvora::ui {

/// The fault's message as the window says it: in Japanese the window's own words, in English the
/// reader's (the text kelvora-cli inspect prints), the arguments (numbers, quoted bytes of the
/// file) as the reader gave them. A format without a translation keeps the reader's English.
QString ResultsFaultText(const kelvora::ResultsFault& fault);

/// The window's source text (Japanese) for one of kResultsFaultFormats, or nullptr when it has none.
const char* ResultsFaultSourceText(const char* format);

}  // namespace kelvora::ui
