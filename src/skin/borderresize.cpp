#include "borderresize.h"

namespace Skin {

namespace {
bool borderResizeEnabled = false;
}

bool BorderResizeEnabled()
{
    return borderResizeEnabled;
}

void setBorderResizeEnabled(bool enabled)
{
    borderResizeEnabled = enabled;
}

} // namespace Skin
