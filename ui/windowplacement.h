#pragma once
// Where a further top-level window of the program opens the first time: beside the main window,
// never over it, and wholly on the main window's screen. Once the person has moved it, the place
// it remembers wins.

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kelvora::ui {

/// The top-left corner, in screen pixels, of a window whose frame is frameSize (px, decorations
/// included) opened beside anchor (the main window's frame, px): right of it where available (the
/// screen's available geometry, px) has room, else left of it, moved then as little as needed to lie
/// wholly within available (its left and top edge win when it is larger than available).
QPoint PlaceBeside(const QRect& anchor, const QSize& frameSize, const QRect& available);

/// Puts window (top-level, not yet shown) where saved (QWidget::saveGeometry bytes) has it when the
/// person had moved it there (moved); else with saved's size, if any, beside anchor's frame on
/// anchor's screen (PlaceBeside; window's decorations taken as anchor's). Returns true when the
/// remembered place was used.
bool RestoreOrPlaceBeside(QWidget* window, const QWidget* anchor, const QByteArray& saved, bool moved);

}  // namespace kelvora::ui
