#pragma once

#include <QString>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;

// Small makers for the windows' controls: every control gets the object name that
// tests and later skins find it by.
namespace App {

QPushButton *makeButton(QWidget *parent, const QString &text, const QString &name);
QLineEdit *makeLineEdit(QWidget *parent, const QString &text, const QString &name, int width = 0);
QCheckBox *makeCheckBox(QWidget *parent, const QString &text, const QString &name);

} // namespace App
