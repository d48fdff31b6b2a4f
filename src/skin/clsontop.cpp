#include "clsontop.h"

#include <QWidget>
#include <QWindow>

namespace Skin {

void clsOnTop::MakeTopMost(QWidget *window)
{
    setStaysOnTop(window, true);
}

void clsOnTop::MakeNormal(QWidget *window)
{
    setStaysOnTop(window, false);
}

void clsOnTop::setStaysOnTop(QWidget *window, bool on)
{
    if (!window || !window->isWindow() || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow *handle = window->windowHandle()) {
        // Told to the native window as it is: QWidget::setWindowFlags would make a new native
        // window, which hides the window and may move it.
        window->overrideWindowFlags(flags);
        handle->setFlags(flags);
        return;
    }
    window->setWindowFlags(flags);
}

} // namespace Skin
