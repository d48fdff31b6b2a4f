#pragma once

#include <QPointF>
#include <QPointer>
#include <QRect>

class QWidget;

namespace Skin {

// Moving and resizing a frameless top-level window with the pointer. The window system does
// it where it offers that (QWindow::startSystemMove / startSystemResize on X11, Windows and
// Wayland); elsewhere the window follows the pointer moves fed in here.
class WindowDrag
{
public:
    // A press that turns into moving `window` once the pointer has travelled a few pixels
    // with the left button held, so that a double-click stays a double-click.
    void armMove(QWidget *window, QPointF globalPos);
    // Starts resizing `window` by `edges` at once.
    void startResize(QWidget *window, Qt::Edges edges, QPointF globalPos);
    // A pointer move; true when the drag took it (the caller does nothing else with it).
    bool pointerMoved(QPointF globalPos, Qt::MouseButtons buttons);
    void release();

    bool isArmed() const { return m_state == State::Armed; }
    bool isFollowing() const { return m_state == State::Following; }

private:
    enum class State { Idle, Armed, Following };

    void follow(QPointF globalPos);

    State m_state = State::Idle;
    QPointer<QWidget> m_window;
    Qt::Edges m_edges;
    QPointF m_start;
    QRect m_startGeometry;
};

} // namespace Skin
