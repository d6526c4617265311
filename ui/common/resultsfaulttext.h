#pragma once
// A results.csv fault in the window's language.

#include <QString>

#include "io/results_reader.h"

namespace kelvora::ui {

/// The fault's message as the window says it: in Japanese the window's own words, in English the
/// reader's (the text kelvora-cli inspect prints), the arguments (numbers, quoted bytes of the
/// file, the system's reason for a failed read) as the reader gave them. Empty for no fault.
QString ResultsFaultText(const kelvora::ResultsFault& fault);

/// The window's words for a fault kind in the window's language, %1, %2, ... in place of its
/// arguments; empty for ResultsFaultKind::none.
QString ResultsFaultWords(kelvora::ResultsFaultKind kind);

}  // namespace kelvora::ui
