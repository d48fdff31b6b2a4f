#include "clearinglineedit.h"

namespace App {

void ClearingLineEdit::mousePressEvent(QMouseEvent *event)
{
    // setText() leaves the box unmodified; the user's editing marks it modified.
    if (isEnabled() && !isReadOnly() && !isModified())
        clear();
    QLineEdit::mousePressEvent(event);
}

} // namespace App
