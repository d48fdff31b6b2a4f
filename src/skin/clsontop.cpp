#include "clsontop.h"

#include <QWidget>

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
    // Changing a window flag may recreate the native window, which hides it.
    const QRect geometry = window->geometry();
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) {
        window->setGeometry(geometry);
        window->show();
    }
}

} // namespace Skin
