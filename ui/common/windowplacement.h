#pragma once
// Where the program's further top-level windows open. The rule: when the first of them opens, the
// main window goes to the top left corner of its screen (the top right when that window keeps its
// side on the left); the further windows tile the strip beside it, the whole height of the screen, in the
// order they opened, each no larger than it wants and shrunk to its cell, never below its minimum
// size. Nothing covers the main window while the strip is as wide as a window's minimum. When the
// strip cannot hold every window's minimum, the later windows cover part of the others' cells,
// still within the strip. A window the person moved keeps its place while it is wholly on the
// screen, and the tiling leaves it alone; the place a window remembers from an earlier session
// wins the same way. A window whose contents need more than 320 x 200 px scrolls them below that,
// so that six windows tile beside the main window on a 1280 x 800 screen.

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

/// The strip (px) of available (the screen's available geometry, px) beside main (the main
/// window's frame, px) that the further windows tile: the whole height of available, from main's
/// edge to available's, on the side with more room (the right on a tie); empty when neither side
/// has any.
QRect TileStrip(const QRect& main, const QRect& available);

/// The frames (px) of windows tiled in area (px), in the order given: wanted[i] the frame size
/// window i would have, minimum[i] the least it can have (px; as many as wanted). The area is cut
/// into a grid of equal cells filled row by row; of the grids whose cells hold every minimum, the one
/// that shows the most of what the windows want (the fewest columns on a tie); each window at its
/// cell's top left, as large as it wants up to the cell, never below its minimum. When no grid holds
/// every minimum, the grid that falls least short, and a window larger than its cell moves back
/// within area (left and top edges winning where it is larger than area).
QList<QRect> TileArea(const QRect& area, const QList<QSize>& wanted, const QList<QSize>& minimum);

/// Gives window (top-level, not yet shown) size (px, inside its frame; an invalid size keeps its
/// own, or what its contents ask for when it was never sized) and tiles it with the further windows of anchor (the main window) already shown, as the rule
/// at the top of this file says: when it is the first, anchor goes to the top corner of its screen
/// away from preferred; then window and the windows tiled before it (not those the person moved) take
/// TileArea's frames in TileStrip beside anchor (decorations taken as anchor's). Where that strip is
/// narrower or lower than window's minimum size, window alone is placed as before tiling: beside
/// anchor (PlaceBeside, anchor sliding as SlideForRoom says), clear of the others where the screen
/// has room (PlaceClear), else covering the least of them (PlaceLeastCovering). The window never
/// grows past the screen on its own: its maximum size is the screen's.
void PlaceBesideOn(QWidget* window, QWidget* anchor, const QSize& size, Side preferred);

/// The size (px, inside its frame) that window, tiled by PlaceBesideOn, wants: the one it came with,
/// or the one it has when that differs from the size the tiling last gave it (the person resized
/// it); fallback for a window never tiled.
QSize WantedSize(const QWidget* window, const QSize& fallback);

/// Puts window (top-level, not yet shown) where saved (QWidget::saveGeometry bytes) has it when the
/// person had moved it there (moved); else, with saved's size if any, beside anchor's frame on
/// anchor's screen as PlaceBesideOn places it on the right. Returns true when the remembered place
/// was used.
bool RestoreOrPlaceBeside(QWidget* window, QWidget* anchor, const QByteArray& saved, bool moved);

}  // namespace kelvora::ui
