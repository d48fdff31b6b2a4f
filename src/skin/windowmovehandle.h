#pragma once

#include "windowdrag.h"

#include <QObject>

class QWidget;

namespace Skin {

// Makes any widget (a label of a form, say) a handle that moves its window: pressing it with
// the left button and moving the pointer moves the window, as a press on the caption bar does.
// The widget still gets its own mouse events.
class WindowMoveHandle : public QObject
{
    Q_OBJECT

public:
    explicit WindowMoveHandle(QWidget *handle);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_handle;
    WindowDrag m_drag;
};

} // namespace Skin
