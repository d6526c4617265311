#pragma once
// Where a further top-level window of the program opens the first time: beside the main window,
// never over it where the screen has room for it, and wholly on the main window's screen. Once the
// person has moved it, the place it remembers wins.

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace kelvora::ui {

/// The frame, in screen pixels, of a window whose frame would be frameSize (px, decorations
/// included, never less than minimumSize) opened beside anchor (the main window's frame, px) within
/// available (the screen's available geometry, px): right of anchor where that has room, else left
/// where that has; else narrowed to the room of the right, or else the left, side when that is at
/// least minimumSize wide; else minimumSize wide on the side with more room, as far over as
/// available allows (then it covers part of anchor, as little as it can). Never taller than
/// available unless minimumSize is; its top is anchor's, moved as little as needed to lie within
/// available (its left and top edge win when it is larger than available).
QRect PlaceBeside(const QRect& anchor, const QSize& frameSize, const QSize& minimumSize, const QRect& available);

/// A side of the main window.
enum class Side { Left, Right };

/// PlaceBeside with the sides swapped when preferred is Side::Left: left of anchor where that has
/// room, else right, and so on, mirrored.
QRect PlaceBeside(const QRect& anchor, const QSize& frameSize, const QSize& minimumSize, const QRect& available,
                  Side preferred);

/// The side of anchor (a frame, px) that the centre of frame (px) lies on; Right on a tie.
Side SideOf(const QRect& frame, const QRect& anchor);

/// How far anchor (a frame, px) slides along x (px, negative: to the left) within available so that
/// a window minimumWidth wide (px) fits beside it: 0 when it fits on either side already; else
/// away from preferred's side, as far as needed and as the other side's room allows (all of it
/// when even that is too little, so that the window covers as little of anchor as it can).
int SlideForRoom(const QRect& anchor, int minimumWidth, const QRect& available, Side preferred);

/// The frame (px) for a window whose frame would be frameSize (px, never less than minimumSize)
/// within available (px) that covers none of occupied (the frames already on the screen, px; the
/// first is the main window's): beside the first on preferred's side where it fits whole, else the
/// first of the places beside or under another frame where it fits whole; else, narrowed, in the
/// widest run of columns no frame covers, when that is at least minimumSize wide; else
/// std::nullopt (then PlaceBeside decides). Never taller than available unless minimumSize is.
std::optional<QRect> PlaceClear(const QList<QRect>& occupied, const QSize& frameSize, const QSize& minimumSize,
                                const QRect& available, Side preferred);

/// Where a window of minimumSize (px; its width the least it can have, its height the one it wants) within available (px) covers the least area of occupied (px)
/// when no place covers none, the first of occupied (the main window's) counted twice: one whose left
/// and top edges touch a frame or the screen's edge; the first such place on a tie.
QRect PlaceLeastCovering(const QList<QRect>& occupied, const QSize& minimumSize, const QRect& available);

/// Gives window (top-level, not yet shown) size (px, inside its frame; an invalid size keeps its
/// own) and puts it beside anchor's frame on anchor's screen, on preferred's side where that has
/// room (PlaceBeside, with window's minimum size; its decorations taken as anchor's). Where neither
/// side has room for window's minimum width, anchor first slides aside as SlideForRoom says, so that
/// the two windows do not cover one another where the screen is wide enough for both. Other
/// windows of the program already shown are kept clear of too where the screen has room
/// (PlaceClear). The window never grows past the screen on its own: its maximum size is the screen's.
void PlaceBesideOn(QWidget* window, QWidget* anchor, const QSize& size, Side preferred);

/// Puts window (top-level, not yet shown) where saved (QWidget::saveGeometry bytes) has it when the
/// person had moved it there (moved); else, with saved's size if any, beside anchor's frame on
/// anchor's screen as PlaceBesideOn places it on the right. Returns true when the remembered place
/// was used.
bool RestoreOrPlaceBeside(QWidget* window, QWidget* anchor, const QByteArray& saved, bool moved);

}  // namespace kelvora::ui
