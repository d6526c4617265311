#include "common/windowplacement.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
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

std::optional<QRect> PlaceClear(const QList<QRect>& occupied, const QSize& frameSize, const QSize& minimumSize,
                                const QRect& available, Side preferred) {
    const int height = std::max(std::min(frameSize.height(), available.height()), minimumSize.height());
    const int width = std::max(std::min(frameSize.width(), available.width()), minimumSize.width());
    const auto clear = [&](const QRect& r) {
        if (!available.contains(r)) return false;
        return std::none_of(occupied.begin(), occupied.end(), [&](const QRect& o) { return o.intersects(r); });
    };
    const auto within = [&](int x, int y, int w) {
        return QRect(x, std::clamp(y, available.top(), std::max(available.top(), available.top() + available.height() - height)),
                     w, height);
    };
    // Whole: beside the main window on the preferred side, then the other; then any place whose
    // left and top edges touch a frame or the screen's edge (a clear place, if there is one, slides
    // to one of those), the nearest to the main window first.
    const QRect anchor = occupied.isEmpty() ? available : occupied.first();
    QList<QRect> places;
    const QRect right = within(anchor.left() + anchor.width(), anchor.top(), width);
    const QRect left = within(anchor.left() - width, anchor.top(), width);
    places << (preferred == Side::Right ? right : left) << (preferred == Side::Right ? left : right);
    QList<int> xs{available.left(), available.left() + available.width() - width};
    QList<int> ys{available.top(), available.top() + available.height() - height};
    for (const QRect& o : occupied) {
        xs << o.left() + o.width() << o.left() - width;
        ys << o.top() << o.top() + o.height() << o.top() - height;
    }
    QList<QRect> touching;
    for (const int px : xs)
        for (const int py : ys) touching << QRect(px, py, width, height);
    const QPoint centre = anchor.center();
    std::stable_sort(touching.begin(), touching.end(), [&](const QRect& a, const QRect& b) {
        return (a.center() - centre).manhattanLength() < (b.center() - centre).manhattanLength();
    });
    places << touching;
    for (const QRect& place : places)
        if (clear(place)) return place;
    // Narrowed: the widest run of columns that no frame covers.
    QList<std::pair<int, int>> spans;  // [left, end) of each frame, clipped to available
    for (const QRect& o : occupied) spans.push_back({std::max(o.left(), available.left()), o.left() + o.width()});
    std::sort(spans.begin(), spans.end());
    int bestLeft = 0, bestWidth = 0, x = available.left();
    const int end = available.left() + available.width();
    spans.push_back({end, end});
    for (const auto& [left, right] : spans) {
        if (left - x > bestWidth) bestLeft = x, bestWidth = left - x;
        x = std::max(x, right);
    }
    if (bestWidth < minimumSize.width()) return std::nullopt;
    const int w = std::min(width, bestWidth);
    // At the end of the run nearer the main window.
    return within(bestLeft >= anchor.left() ? bestLeft : bestLeft + bestWidth - w, anchor.top(), w);
}

QRect PlaceLeastCovering(const QList<QRect>& occupied, const QSize& minimumSize, const QRect& available) {
    const QSize size(std::min(minimumSize.width(), available.width()), std::min(minimumSize.height(), available.height()));
    const auto covered = [&](const QRect& r) {
        // The main window's plot and fields count twice: it is the one the person works in.
        long long area = 0;
        for (qsizetype i = 0; i < occupied.size(); ++i) {
            const QRect both = occupied[i].intersected(r);
            area += (i == 0 ? 2 : 1) * static_cast<long long>(both.width()) * both.height();
        }
        return area;
    };
    QList<int> xs{available.left(), available.left() + available.width() - size.width()};
    QList<int> ys{available.top(), available.top() + available.height() - size.height()};
    for (const QRect& o : occupied) {
        xs << o.left() + o.width() << o.left() - size.width();
        ys << o.top() << o.top() + o.height() << o.top() - size.height();
    }
    QRect best;
    long long bestArea = -1;
    for (const int x : xs)
        for (const int y : ys) {
            const QRect r(QPoint(x, y), size);
            if (!available.contains(r)) continue;
            const long long area = covered(r);
            if (bestArea < 0 || area < bestArea) best = r, bestArea = area;
        }
    return bestArea < 0 ? QRect(available.topLeft(), size) : best;
}

QRect TileStrip(const QRect& main, const QRect& available) {
    const int availableEnd = available.left() + available.width();
    const int roomRight = availableEnd - (main.left() + main.width());
    const int roomLeft = main.left() - available.left();
    if (roomRight <= 0 && roomLeft <= 0) return QRect();
    if (roomRight >= roomLeft) return QRect(availableEnd - roomRight, available.top(), roomRight, available.height());
    return QRect(available.left(), available.top(), roomLeft, available.height());
}

QList<QRect> TileArea(const QRect& area, const QList<QSize>& wanted, const QList<QSize>& minimum) {
    const qsizetype n = wanted.size();
    if (n == 0) return {};
    // Per grid: what falls short of the minimums (area, px²) and what of the wanted sizes is shown.
    int bestColumns = 1;
    long long bestShort = -1, bestShown = -1;
    for (int columns = 1; columns <= n; ++columns) {
        const int rows = static_cast<int>((n + columns - 1) / columns);
        const int cellWidth = area.width() / columns, cellHeight = area.height() / rows;
        long long shortfall = 0, shown = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const QSize& m = minimum[i];
            shortfall += static_cast<long long>(m.width()) * m.height() -
                         static_cast<long long>(std::min(m.width(), cellWidth)) * std::min(m.height(), cellHeight);
            shown += static_cast<long long>(std::min(wanted[i].width(), cellWidth)) * std::min(wanted[i].height(), cellHeight);
        }
        if (bestShort < 0 || shortfall < bestShort || (shortfall == bestShort && shown > bestShown))
            bestColumns = columns, bestShort = shortfall, bestShown = shown;
    }
    const int rows = static_cast<int>((n + bestColumns - 1) / bestColumns);
    const int cellWidth = area.width() / bestColumns, cellHeight = area.height() / rows;
    const int areaEnd = area.left() + area.width(), areaBottom = area.top() + area.height();
    QList<QRect> frames;
    for (qsizetype i = 0; i < n; ++i) {
        const int width = std::max(std::min(wanted[i].width(), cellWidth), minimum[i].width());
        const int height = std::max(std::min(wanted[i].height(), cellHeight), minimum[i].height());
        const int x = area.left() + static_cast<int>(i % bestColumns) * cellWidth;
        const int y = area.top() + static_cast<int>(i / bestColumns) * cellHeight;
        frames << QRect(std::max(area.left(), std::min(x, areaEnd - width)), std::max(area.top(), std::min(y, areaBottom - height)),
                        width, height);
    }
    return frames;
}

namespace {

// Properties a tiled window carries: where it was put (its frame's top left, px), the size it wants
// (inside its frame, px) and when it was first tiled, for the order of the tiling.
constexpr char kPlacedAt[] = "kelvoraPlacedAt";
constexpr char kWantedSize[] = "kelvoraWantedSize";
constexpr char kTiledOrder[] = "kelvoraTiledOrder";
constexpr char kPlacedSize[] = "kelvoraPlacedSize";  // the size it was given, inside its frame (px)

// Keeps a placed window wholly on its screen when it grows afterwards (a control placed in it
// later, a longer text): the main window slides aside as far as the screen allows, so that the two
// stay clear of one another where the screen is wide enough for both, then the window moves back
// within the screen.
class ScreenKeeper : public QObject {
public:
    ScreenKeeper(QWidget* window, QWidget* anchor, Side preferred)
        : QObject(window), m_window(window), m_anchor(anchor), m_preferred(preferred) {
        setObjectName(QStringLiteral("ScreenKeeper"));
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::Show) && !m_busy)
            keep();
        return false;
    }

private:
    void keep() {
        if (!m_window->screen()) return;
        const QRect available = m_window->screen()->availableGeometry();
        QRect frame = m_window->frameGeometry();
        if (available.contains(frame)) return;
        m_busy = true;
        if (m_anchor && m_anchor->screen() == m_window->screen() && m_anchor->isVisible()) {
            const QRect anchor = m_anchor->frameGeometry();
            const Side side = SideOf(frame, anchor);
            if (const int slide = SlideForRoom(anchor, frame.width(), available, side); slide != 0)
                m_anchor->move(m_anchor->pos() + QPoint(slide, 0));
            const QRect beside = PlaceBeside(m_anchor->frameGeometry(), frame.size(), frame.size(), available, side);
            frame.moveTopLeft(beside.topLeft());
        }
        const int x = std::clamp(frame.left(), available.left(), std::max(available.left(), available.left() + available.width() - frame.width()));
        const int y = std::clamp(frame.top(), available.top(), std::max(available.top(), available.top() + available.height() - frame.height()));
        m_window->move(x, y);
        if (m_window->property(kPlacedAt).isValid()) m_window->setProperty(kPlacedAt, m_window->pos());
        m_busy = false;
    }

    QWidget* m_window;
    QPointer<QWidget> m_anchor;
    Side m_preferred;
    bool m_busy = false;
};

QSize MinimumFrame(const QWidget* window, const QSize& decorations) {
    return window->minimumSizeHint().expandedTo(window->minimumSize()) + decorations;
}

// The place before tiling, for a strip too small for window: beside anchor, clear of the others
// where the screen has room, else covering the least of them.
QRect PlaceUntiled(QWidget* window, QWidget* anchor, const QSize& decorations, const QRect& available, Side preferred) {
    QRect frame = anchor->frameGeometry();
    const QSize minimum = MinimumFrame(window, decorations);
    if (const int slide = SlideForRoom(frame, minimum.width(), available, preferred); slide != 0) {
        // move() places a top-level window's frame; resize() sizes what is inside it.
        anchor->move(anchor->pos() + QPoint(slide, 0));
        frame.translate(slide, 0);
    }
    QList<QRect> occupied{frame};
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != window && other != anchor && other->isVisible() && other->isWindow() &&
            !(other->windowType() == Qt::Popup || other->windowType() == Qt::ToolTip) &&
            other->screen() == anchor->screen())
            occupied << other->frameGeometry();
    const std::optional<QRect> clear =
        occupied.size() > 1 ? PlaceClear(occupied, window->size() + decorations, minimum, available, preferred) : std::nullopt;
    if (clear) return *clear;
    if (occupied.size() > 1)
        return PlaceLeastCovering(occupied, QSize(minimum.width(), window->height() + decorations.height()), available);
    return PlaceBeside(frame, window->size() + decorations, minimum, available, preferred);
}

// The least size (px) a window's contents keep before they scroll: small enough for six windows
// to tile beside the main window on a 1280 x 800 screen.
constexpr QSize kShrinkableTo(320, 200);

// Lets window shrink to kShrinkableTo when its contents need more: they go into a scroll area that
// scrolls below their own least size and fills the window above it.
void LetShrink(QWidget* window) {
    if (window->minimumSizeHint().boundedTo(kShrinkableTo) == window->minimumSizeHint()) return;
    if (window->findChild<QScrollArea*>(QStringLiteral("ShrinkArea"), Qt::FindDirectChildrenOnly)) return;
    QWidget* contents = nullptr;
    auto* area = new QScrollArea;
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        if (!main->centralWidget()) return delete area;
        contents = main->takeCentralWidget();
        main->setCentralWidget(area);
    } else if (QLayout* layout = window->layout()) {
        contents = new QWidget;
        contents->setLayout(layout);  // takes the layout off the window, with its widgets
        auto* outer = new QVBoxLayout(window);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->addWidget(area);
    } else {
        return delete area;
    }
    area->setObjectName(QStringLiteral("ShrinkArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setMinimumSize(contents->minimumSizeHint().boundedTo(kShrinkableTo));
    area->setWidget(contents);
}

}  // namespace

QSize WantedSize(const QWidget* window, const QSize& fallback) {
    const QVariant placed = window->property(kPlacedSize), wanted = window->property(kWantedSize);
    if (!placed.isValid() || !wanted.isValid()) return fallback;
    // A size other than the tiling gave it is the person's (or its contents'), wanted from then on.
    return window->size() != placed.toSize() ? window->size() : wanted.toSize();
}

void PlaceBesideOn(QWidget* window, QWidget* anchor, const QSize& size, Side preferred) {
    // A window never sized yet wants what its contents ask for.
    const QSize own = window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint();
    window->resize((size.isValid() ? size : own).expandedTo(window->minimumSize()));
    if (!anchor || !anchor->screen()) return;
    LetShrink(window);
    const QSize decorations = anchor->frameGeometry().size() - anchor->geometry().size();
    const QRect available = anchor->screen()->availableGeometry();
    window->setMaximumSize(window->maximumSize().boundedTo(available.size() - decorations));
    static int opened = 0;
    window->setProperty(kWantedSize, window->size());
    window->setProperty(kTiledOrder, ++opened);
    // The windows tiled before, in the order they opened: those the person has moved keep their
    // places while they are wholly on the screen.
    QList<QWidget*> tiled;
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != window && other != anchor && other->isVisible() && other->screen() == anchor->screen() &&
            other->property(kPlacedAt).isValid() &&
            (other->pos() == other->property(kPlacedAt).toPoint() || !available.contains(other->frameGeometry())))
            tiled << other;
    std::sort(tiled.begin(), tiled.end(), [](const QWidget* a, const QWidget* b) {
        return a->property(kTiledOrder).toInt() < b->property(kTiledOrder).toInt();
    });
    QRect main = anchor->frameGeometry();
    if (tiled.isEmpty()) {
        // The first further window: the main window to the top corner, the strip beside it on preferred's side.
        const int x = preferred == Side::Right ? available.left() : available.left() + available.width() - main.width();
        const QRect slid(std::max(x, available.left()), available.top(), main.width(), main.height());
        if (TileStrip(slid, available).width() >= MinimumFrame(window, decorations).width()) {
            anchor->move(anchor->pos() + slid.topLeft() - main.topLeft());
            main = slid;
        }
    }
    const QRect strip = TileStrip(main, available);
    const QSize minimum = MinimumFrame(window, decorations);
    if (strip.width() < minimum.width() || strip.height() < minimum.height()) {
        const QRect place = PlaceUntiled(window, anchor, decorations, available, preferred);
        window->move(place.topLeft());
        window->resize(place.size() - decorations);
    } else {
        QList<QSize> wanted, minima;
        tiled << window;
        for (const QWidget* w : tiled) {
            wanted << WantedSize(w, w->size()) + decorations;
            minima << MinimumFrame(w, decorations);
        }
        const QList<QRect> frames = TileArea(strip, wanted, minima);
        for (qsizetype i = 0; i < tiled.size(); ++i) {
            tiled[i]->setProperty(kWantedSize, wanted[i] - decorations);
            tiled[i]->move(frames[i].topLeft());
            tiled[i]->resize(frames[i].size() - decorations);
            tiled[i]->setProperty(kPlacedAt, frames[i].topLeft());
            tiled[i]->setProperty(kPlacedSize, frames[i].size() - decorations);
        }
    }
    window->setProperty(kPlacedAt, window->pos());
    window->setProperty(kPlacedSize, window->size());
    if (!window->findChild<QObject*>(QStringLiteral("ScreenKeeper"), Qt::FindDirectChildrenOnly))
        new ScreenKeeper(window, anchor, preferred);
}

bool RestoreOrPlaceBeside(QWidget* window, QWidget* anchor, const QByteArray& saved, bool moved) {
    if (anchor) LetShrink(window);
    if (!saved.isEmpty() && window->restoreGeometry(saved) && moved) return true;
    PlaceBesideOn(window, anchor, QSize(), Side::Right);
    return false;
}

}  // namespace kelvora::ui
