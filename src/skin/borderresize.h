#pragma once

namespace Skin {

// Whether dragging a border resizes the window. One flag for the whole process: the caption
// bar switches it (on for Style 1 in the normal state, off while it has maximised the window)
// and every border reads it. Off at start.
bool BorderResizeEnabled();
void setBorderResizeEnabled(bool enabled);

} // namespace Skin
