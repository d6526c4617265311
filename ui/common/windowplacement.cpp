#include "common/windowplacement.h"

#include <algorithm>

#include <QScreen>
#include <QWidget>

namespace kelvora::ui {

QRect PlaceBeside(const QRect& anchor, const QSize& frameSize, const QSize& minimumSize, const QRect& available) {
    // QRect's right() and bottom() are the last pixel: one past them is left() + width().
    const int availableEnd = available.left() + available.width();
    const int availableBottom = available.top() + available.height();
    const int anchorEnd = anchor.left() + anchor.width();
    const int roomRight = availableEnd - anchorEnd;
    const int roomLeft = anchor.left() - available.left();
    int width = frameSize.width();
    int x = anchorEnd;
    if (width > roomRight) {
        if (width <= roomLeft) {
            x = anchor.left() - width;
        } else if (roomRight >= minimumSize.width()) {
            width = roomRight;
        } else if (roomLeft >= minimumSize.width()) {
            width = roomLeft;
            x = available.left();
        } else {
            // It covers part of anchor whatever it does: as little as it can.
            width = minimumSize.width();
            if (roomLeft > roomRight) x = anchor.left() - width;
        }
    }
    x = std::clamp(x, available.left(), std::max(available.left(), availableEnd - width));
    const int height = std::max(std::min(frameSize.height(), available.height()), minimumSize.height());
    const int y = std::clamp(anchor.top(), available.top(), std::max(available.top(), availableBottom - height));
    return QRect(x, y, width, height);
}

QRect PlaceBeside(const QRect& anchor, const QSize& frameSize, const QSize& minimumSize, const QRect& available,
                  Side preferred) {
    if (preferred == Side::Right) return PlaceBeside(anchor, frameSize, minimumSize, available);
    // Left first is right first in the mirror image of the screen.
    const auto mirror = [&](const QRect& r) {
        return QRect(available.left() + available.left() + available.width() - (r.left() + r.width()), r.top(), r.width(),
                     r.height());
    };
    return mirror(PlaceBeside(mirror(anchor), frameSize, minimumSize, available));
}

Side SideOf(const QRect& frame, const QRect& anchor) {
    return 2 * frame.left() + frame.width() < 2 * anchor.left() + anchor.width() ? Side::Left : Side::Right;
}

int SlideForRoom(const QRect& anchor, int minimumWidth, const QRect& available, Side preferred) {
    const int roomRight = available.left() + available.width() - (anchor.left() + anchor.width());
    const int roomLeft = anchor.left() - available.left();
    if (roomRight >= minimumWidth || roomLeft >= minimumWidth) return 0;
    if (preferred == Side::Right) return -std::clamp(minimumWidth - roomRight, 0, std::max(roomLeft, 0));
    return std::clamp(minimumWidth - roomLeft, 0, std::max(roomRight, 0));
}

void PlaceBesideOn(QWidget* window, QWidget* anchor, const QSize& size, Side preferred) {
    if (size.isValid()) window->resize(size.expandedTo(window->minimumSize()));
    if (!anchor || !anchor->screen()) return;
    QRect frame = anchor->frameGeometry();
    const QSize decorations = frame.size() - anchor->geometry().size();
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize()) + decorations;
    const QRect available = anchor->screen()->availableGeometry();
    if (const int slide = SlideForRoom(frame, minimum.width(), available, preferred); slide != 0) {
        // move() places a top-level window's frame; resize() sizes what is inside it.
        anchor->move(anchor->pos() + QPoint(slide, 0));
        frame.translate(slide, 0);
    }
    const QRect place = PlaceBeside(frame, window->size() + decorations, minimum, available, preferred);
    window->move(place.topLeft());
    window->resize(place.size() - decorations);
}

bool RestoreOrPlaceBeside(QWidget* window, QWidget* anchor, const QByteArray& saved, bool moved) {
    if (!saved.isEmpty() && window->restoreGeometry(saved) && moved) return true;
    PlaceBesideOn(window, anchor, QSize(), Side::Right);
    return false;
}

}  // namespace kelvora::ui
