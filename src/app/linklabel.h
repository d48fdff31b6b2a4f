#pragma once

#include <QLabel>
#include <QPoint>

namespace App {

// A label that reads and acts as a link: it emits clicked() when pressed and released
// with the left button (or Space / Return when it has the focus), and dragStarted() when
// the mouse moves far enough with the left button held, so a label can also move its
// window.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(QWidget *parent = nullptr);
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();
    void dragStarted();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_pressed = false;
    bool m_dragged = false;
    QPoint m_pressPosition;
};

} // namespace App
