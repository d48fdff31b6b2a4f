#pragma once

#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <optional>

// The rules of the window chrome that need no widget: where the caption bar's buttons sit and
// answer the pointer, where a work-area maximise puts the window, the border's zones, the
// window shape and its minimum size.
namespace Skin {

// The caption bar's buttons; the values are the bar's hovered-button numbers.
enum class CaptionButton { Close = 0, Minimise = 1, MaxRestore = 2, OnTop = 3 };

struct ButtonSpan
{
    int left = 0;
    int right = 0;
};

// The buttons of a bar `barWidth` wide, from the skin's offsets and the widths of the button
// pictures the bar holds. The stay-on-top place counts the maximise and minimise widths also
// when those buttons are not drawn.
struct CaptionLayout
{
    int barWidth = 0;
    int fromRight = 0;
    int fromTop = 0;
    int iconSpace = 0;
    int closeWidth = 0;
    int maxWidth = 0;
    int minWidth = 0;
    int onTopWidth = 0;
    int closeHeight = 0;

    ButtonSpan span(CaptionButton button) const;
    // The band of rows that can touch a button: FROMTOP < y < FROMTOP + the close picture's height.
    bool inBand(int y) const;
    // The button whose open interval holds x, tested close, maximise/restore, minimise,
    // stay-on-top; nothing outside the band or on a button's edge.
    std::optional<CaptionButton> buttonAt(QPoint pos) const;
};

// The desktop work area as left, top, right, bottom (right and bottom exclusive).
struct WorkArea
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
WorkArea workAreaOf(const QRect &available);

// The window geometry after a work-area maximise: the size of the work area, placed by the
// first row that matches (taskbar at the bottom, left, top, right); when none does, the
// window keeps the place of `current`.
QRect maximisedGeometry(const WorkArea &area, const QRect &current);

// Where the pointer is on a border of type 1 (left), 2 (right) or 3 (bottom) of `size`:
// zone 0 the lower-left corner, 1 the edge, 2 the lower-right corner, with its pointer shape.
// The corner strips are 10 pixels, both bounds included.
struct BorderZone
{
    int zone = 1;
    Qt::CursorShape shape = Qt::SizeHorCursor;
};
BorderZone borderZoneAt(int borderType, QPoint pos, QSize size);
// The window edges a press in `zone` of a border resizes; none where the border starts nothing.
Qt::Edges resizeEdges(int borderType, int zone);

// The window shape while the caption bar shows the maximise button: the top corners cut by
// the seven points (0, H), (0, 3), (3, 0), (W - 3, 0), (W, 4), (W, H), (0, H).
QPolygon cutCornerPolygon(QSize size);
QRegion cutCornerRegion(QSize size);

// 4444 x 2222 twips at 15 twips a pixel.
inline constexpr int ChromeMinimumWidth = 296;
inline constexpr int ChromeMinimumHeight = 148;
// `size` with a width or height at or below the minimum set to the minimum.
QSize withChromeMinimum(QSize size);

} // namespace Skin
