#pragma once

#include <QLineEdit>

namespace App {

// A box that empties itself when it is clicked into, as the address and seller boxes do:
// their texts are hints and examples the user types over.
class ClearingLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

} // namespace App
