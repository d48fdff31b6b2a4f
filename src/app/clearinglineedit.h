#pragma once

#include <QLineEdit>

namespace App {

// A box that empties itself when it is clicked into, as the address and seller boxes do:
// their texts are hints and examples the user types over. What the user typed or pasted
// there stays when they click back in to mend it; only a text the program set goes.
class ClearingLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

} // namespace App
