#include "linklabel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace App {

LinkLabel::LinkLabel(QWidget *parent) : LinkLabel(QString(), parent) {}

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setTextFormat(Qt::PlainText);
    setForegroundRole(QPalette::Link);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QLabel::mousePressEvent(event);
    m_pressed = true;
    m_moved = false;
    m_pressPosition = event->position().toPoint();
    event->accept();
}

void LinkLabel::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed && (event->position().toPoint() - m_pressPosition).manhattanLength() >=
                         QApplication::startDragDistance())
        m_moved = true;
    QLabel::mouseMoveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QLabel::mouseReleaseEvent(event);
    m_pressed = false;
    // A drag is not a click, nor is a release away from the label.
    if (!m_moved && rect().contains(event->position().toPoint()))
        emit clicked();
    event->accept();
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit clicked();
        event->accept();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

} // namespace App
