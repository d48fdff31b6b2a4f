#include "clearinglineedit.h"

namespace App {

void ClearingLineEdit::mousePressEvent(QMouseEvent *event)
{
    if (isEnabled() && !isReadOnly())
        clear();
    QLineEdit::mousePressEvent(event);
}

} // namespace App
