#include "jsborder.h"

#include "borderresize.h"
#include "chromegeometry.h"

#include <QMouseEvent>
#include <QPainter>

namespace Skin {

JSBORDER::JSBORDER(QWidget *parent) : QWidget(parent)
{
    // Not opaque: where a picture is missing, the window's background shows.
    setMouseTracking(true);
}

void JSBORDER::setBORDERTYPE(int type)
{
    m_type = type;
    if (type == 1 || type == 2)
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    else if (type == 3)
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The store was let go after the last read; the new type needs other pictures.
    m_skin.setPath(m_skin.path());
    readSkin();
    update();
}

void JSBORDER::setPath(const QString &path)
{
    m_skin.setPath(path);
    readSkin();
    update();
}

void JSBORDER::REDRAW()
{
    repaint();
}

int JSBORDER::thickness() const
{
    if (m_type == 1 || m_type == 2)
        return m_end.Width();
    if (m_type == 3)
        return m_tile.Height();
    return 0;
}

void JSBORDER::redraw()
{
    m_skin.reloadIfChanged();
    readSkin();
    update();
}

void JSBORDER::readSkin()
{
    // The pictures are read from the store once per change of the file and kept for the
    // paints; the store itself is let go.
    const SkinStore &store = m_skin.store();
    switch (m_type) {
    case 1:
        m_end.LoadResource(store.picture(u"LEFTTOP"));
        m_tile.LoadResource(store.picture(u"LEFTMID"));
        m_secondEnd.LoadResource(QImage());
        break;
    case 2:
        m_end.LoadResource(store.picture(u"RIGHTTOP"));
        m_tile.LoadResource(store.picture(u"RIGHTMID"));
        m_secondEnd.LoadResource(QImage());
        break;
    case 3:
        m_end.LoadResource(store.picture(u"LEFTBOT"));
        m_tile.LoadResource(store.picture(u"BOTTOM"));
        m_secondEnd.LoadResource(store.picture(u"RIGHTBOT"));
        break;
    default:
        m_end.LoadResource(QImage());
        m_tile.LoadResource(QImage());
        m_secondEnd.LoadResource(QImage());
        return;
    }
    m_skin.releaseStore();

    const int size = thickness();
    const bool side = m_type == 1 || m_type == 2;
    const bool changed = side ? (minimumWidth() != size || maximumWidth() != size)
                              : (minimumHeight() != size || maximumHeight() != size);
    if (!changed)
        return;
    if (side) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setFixedWidth(size);
    } else {
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
        setFixedHeight(size);
    }
    emit thicknessChanged(size);
}

void JSBORDER::paintEvent(QPaintEvent *)
{
    if (m_skin.changedOnDisk())
        QMetaObject::invokeMethod(this, &JSBORDER::redraw, Qt::QueuedConnection);

    QPainter painter(this);
    if (m_type == 1 || m_type == 2) {
        if (m_tile.Height() > 0) {
            for (int y = 0; y < height(); y += m_tile.Height())
                m_tile.Paint(painter, 0, y);
        }
        m_end.Paint(painter, 0, 0);
    } else if (m_type == 3) {
        if (m_tile.Width() > 0) {
            for (int x = 0; x < width(); x += m_tile.Width())
                m_tile.Paint(painter, x, 0);
        }
        m_end.Paint(painter, 0, 0);
        m_secondEnd.Paint(painter, width() - m_secondEnd.Width(), 0);
    }
}

void JSBORDER::pointerAt(QPoint pos)
{
    const BorderZone zone = borderZoneAt(m_type, pos, size());
    m_zone = zone.zone;
    setCursor(zone.shape);
}

void JSBORDER::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag.pointerMoved(event->globalPosition(), event->buttons()))
        return;
    if (!BorderResizeEnabled())
        return;
    pointerAt(event->position().toPoint());
}

void JSBORDER::mousePressEvent(QMouseEvent *event)
{
    if (!BorderResizeEnabled())
        return;
    // The zone comes from the pointer moves; the press point counts as one, so a press that
    // arrives without a move before it (a window that appeared under the pointer) resizes
    // where it is.
    pointerAt(event->position().toPoint());
    const Qt::Edges edges = resizeEdges(m_type, m_zone);
    if (edges != Qt::Edges())
        m_drag.startResize(window(), edges, event->globalPosition());
}

void JSBORDER::mouseReleaseEvent(QMouseEvent *)
{
    m_drag.release();
}

} // namespace Skin
