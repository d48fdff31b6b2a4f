#include "widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace App {

QPushButton *makeButton(QWidget *parent, const QString &text, const QString &name)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QLineEdit *makeLineEdit(QWidget *parent, const QString &text, const QString &name, int width)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    if (width > 0)
        edit->setFixedWidth(width);
    return edit;
}

QCheckBox *makeCheckBox(QWidget *parent, const QString &text, const QString &name)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

} // namespace App
