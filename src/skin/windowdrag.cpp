#include "windowdrag.h"

#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace Skin {

namespace {
// How far the pointer goes before a press on the bar becomes a move. A few pixels keep a
// shaky double-click a double-click; more would let the window lag behind the pointer by
// as much, since the window system moves it from where the move starts.
constexpr qreal moveThreshold = 4;
} // namespace

void WindowDrag::armMove(QWidget *window, QPointF globalPos)
{
    m_state = window ? State::Armed : State::Idle;
    m_window = window;
    m_edges = {};
    m_start = globalPos;
    m_startGeometry = window ? window->geometry() : QRect();
}

void WindowDrag::startResize(QWidget *window, Qt::Edges edges, QPointF globalPos)
{
    m_state = State::Idle;
    if (!window || edges == Qt::Edges())
        return;
    if (QWindow *handle = window->windowHandle(); handle && handle->startSystemResize(edges))
        return;
    m_state = State::Following;
    m_window = window;
    m_edges = edges;
    m_start = globalPos;
    m_startGeometry = window->geometry();
}

bool WindowDrag::pointerMoved(QPointF globalPos, Qt::MouseButtons buttons)
{
    if (m_state == State::Idle)
        return false;
    if (!m_window || !(buttons & Qt::LeftButton)) {
        // The release happened where we could not see it (the window system's own loop).
        m_state = State::Idle;
        return false;
    }
    if (m_state == State::Armed) {
        if ((globalPos - m_start).manhattanLength() < moveThreshold)
            return true;
        if (QWindow *handle = m_window->windowHandle(); handle && handle->startSystemMove()) {
            m_state = State::Idle;
            return true;
        }
        m_state = State::Following;
    }
    follow(globalPos);
    return true;
}

void WindowDrag::release()
{
    m_state = State::Idle;
}

void WindowDrag::follow(QPointF globalPos)
{
    const QPoint delta = (globalPos - m_start).toPoint();
    if (m_edges == Qt::Edges()) {
        m_window->move(m_startGeometry.topLeft() + delta);
        return;
    }
    const QSize least = m_window->minimumSize();
    const QSize most = m_window->maximumSize();
    QRect geometry = m_startGeometry;
    if (m_edges & Qt::LeftEdge) {
        const int width = std::clamp(m_startGeometry.width() - delta.x(), least.width(), most.width());
        geometry.setLeft(m_startGeometry.right() + 1 - width);
    }
    if (m_edges & Qt::RightEdge)
        geometry.setWidth(std::clamp(m_startGeometry.width() + delta.x(), least.width(), most.width()));
    if (m_edges & Qt::BottomEdge)
        geometry.setHeight(std::clamp(m_startGeometry.height() + delta.y(), least.height(), most.height()));
    m_window->setGeometry(geometry);
}

} // namespace Skin
