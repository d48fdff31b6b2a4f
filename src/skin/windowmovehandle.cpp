#include "windowmovehandle.h"

#include <QMouseEvent>
#include <QWidget>

namespace Skin {

WindowMoveHandle::WindowMoveHandle(QWidget *handle) : QObject(handle), m_handle(handle)
{
    handle->installEventFilter(this);
}

bool WindowMoveHandle::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_handle)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            m_drag.armMove(m_handle->window(), mouse->globalPosition());
        break;
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_drag.pointerMoved(mouse->globalPosition(), mouse->buttons());
        break;
    }
    case QEvent::MouseButtonRelease:
        m_drag.release();
        break;
    default:
        break;
    }
    return false;
}

} // namespace Skin
