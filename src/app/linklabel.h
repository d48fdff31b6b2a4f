#pragma once

#include <QLabel>
#include <QPoint>

namespace App {

// A label that reads and acts as a link: it emits clicked() when pressed and released
// with the left button without moving the pointer away (or Space / Return when it has the
// focus), so a link that also moves its window is not followed after a drag.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(QWidget *parent = nullptr);
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_pressed = false;
    bool m_moved = false;
    QPoint m_pressPosition;
};

} // namespace App
