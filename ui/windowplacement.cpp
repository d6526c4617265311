#include "windowplacement.h"

#include <algorithm>

#include <QScreen>
#include <QWidget>

namespace kelvora::ui {

QPoint PlaceBeside(const QRect& anchor, const QSize& frameSize, const QRect& available) {
    // QRect's right() and bottom() are the last pixel: one past them is left() + width().
    const int availableEnd = available.left() + available.width();
    int x = anchor.left() + anchor.width();
    if (x + frameSize.width() > availableEnd) x = anchor.left() - frameSize.width();
    x = std::clamp(x, available.left(), std::max(available.left(), availableEnd - frameSize.width()));
    const int availableBottom = available.top() + available.height();
    const int y = std::clamp(anchor.top(), available.top(), std::max(available.top(), availableBottom - frameSize.height()));
    return QPoint(x, y);
}

bool RestoreOrPlaceBeside(QWidget* window, const QWidget* anchor, const QByteArray& saved, bool moved) {
    if (!saved.isEmpty() && window->restoreGeometry(saved) && moved) return true;
    if (!anchor || !anchor->screen()) return false;
    const QRect frame = anchor->frameGeometry();
    const QSize decorations = frame.size() - anchor->geometry().size();
    // move() places a top-level window's frame.
    window->move(PlaceBeside(frame, window->size() + decorations, anchor->screen()->availableGeometry()));
    return false;
}

}  // namespace kelvora::ui
