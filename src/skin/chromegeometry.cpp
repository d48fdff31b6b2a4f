#include "chromegeometry.h"

#include <algorithm>

namespace Skin {

ButtonSpan CaptionLayout::span(CaptionButton button) const
{
    // Each button ends one gap left of the one to its right.
    const int closeRight = barWidth - fromRight;
    const int closeLeft = closeRight - closeWidth;
    const int maxRight = closeLeft - iconSpace;
    const int maxLeft = maxRight - maxWidth;
    const int minRight = maxLeft - iconSpace;
    const int minLeft = minRight - minWidth;
    const int onTopRight = minLeft - iconSpace;
    switch (button) {
    case CaptionButton::Close:
        return {closeLeft, closeRight};
    case CaptionButton::MaxRestore:
        return {maxLeft, maxRight};
    case CaptionButton::Minimise:
        return {minLeft, minRight};
    case CaptionButton::OnTop:
        return {onTopRight - onTopWidth, onTopRight};
    }
    return {};
}

bool CaptionLayout::inBand(int y) const
{
    return y > fromTop && y < fromTop + closeHeight;
}

std::optional<CaptionButton> CaptionLayout::buttonAt(QPoint pos) const
{
    if (!inBand(pos.y()))
        return std::nullopt;
    for (const CaptionButton button :
         {CaptionButton::Close, CaptionButton::MaxRestore, CaptionButton::Minimise, CaptionButton::OnTop}) {
        const ButtonSpan s = span(button);
        if (pos.x() > s.left && pos.x() < s.right)
            return button;
    }
    return std::nullopt;
}

WorkArea workAreaOf(const QRect &available)
{
    return {available.left(), available.top(), available.left() + available.width(),
            available.top() + available.height()};
}

QRect maximisedGeometry(const WorkArea &area, const QRect &current)
{
    QPoint place = current.topLeft();
    if (area.bottom > 0 && area.left == 0 && area.top == 0)
        place = {0, 0};
    else if (area.left > 0 && area.top == 0)
        place = {area.left, 0};
    else if (area.top > 0 && area.left == 0)
        place = {0, area.top};
    else if (area.right > 0 && area.top == 0)
        place = {0, 0};
    return {place, QSize(area.right - area.left, area.bottom - area.top)};
}

BorderZone borderZoneAt(int borderType, QPoint pos, QSize size)
{
    const int w = size.width();
    const int h = size.height();
    if (borderType == 3) {
        // The left corner is tested first.
        if (pos.x() >= 0 && pos.x() <= 10)
            return {0, Qt::SizeBDiagCursor};
        if (pos.x() >= w - 10 && pos.x() <= w)
            return {2, Qt::SizeFDiagCursor};
        return {1, Qt::SizeVerCursor};
    }
    const bool lowCorner = pos.y() >= h - 10 && pos.y() <= h;
    if (borderType == 1 && lowCorner)
        return {0, Qt::SizeBDiagCursor};
    if (borderType == 2 && lowCorner)
        return {2, Qt::SizeFDiagCursor};
    return {1, Qt::SizeHorCursor};
}

Qt::Edges resizeEdges(int borderType, int zone)
{
    switch (borderType) {
    case 1:
        if (zone == 0)
            return Qt::LeftEdge | Qt::BottomEdge;
        if (zone == 1)
            return Qt::LeftEdge;
        break;
    case 2:
        if (zone == 1)
            return Qt::RightEdge;
        if (zone == 2)
            return Qt::RightEdge | Qt::BottomEdge;
        break;
    case 3:
        if (zone == 0)
            return Qt::LeftEdge | Qt::BottomEdge;
        if (zone == 1)
            return Qt::BottomEdge;
        if (zone == 2)
            return Qt::RightEdge | Qt::BottomEdge;
        break;
    default:
        break;
    }
    return {};
}

QPolygon cutCornerPolygon(QSize size)
{
    const int w = size.width();
    const int h = size.height();
    return QPolygon({{0, h}, {0, 3}, {3, 0}, {w - 3, 0}, {w, 4}, {w, h}, {0, h}});
}

QRegion cutCornerRegion(QSize size)
{
    return QRegion(cutCornerPolygon(size), Qt::WindingFill);
}

QSize withChromeMinimum(QSize size)
{
    return {std::max(size.width(), ChromeMinimumWidth), std::max(size.height(), ChromeMinimumHeight)};
}

} // namespace Skin
