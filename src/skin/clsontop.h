#pragma once

class QWidget;

namespace Skin {

// Keeps a window above all others, or gives it back its normal place in the stacking order.
// The window stays where it is, at its size, and visible if it was.
class clsOnTop
{
public:
    void MakeTopMost(QWidget *window);
    void MakeNormal(QWidget *window);

private:
    static void setStaysOnTop(QWidget *window, bool on);
};

} // namespace Skin
