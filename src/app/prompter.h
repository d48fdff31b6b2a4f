#pragma once

#include <QString>

class QWidget;

namespace App {

// Every message box of the program goes through a Prompter, so that a test can
// hand a window its own and answer the questions it asks.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // A plain message with an OK button.
    virtual void inform(QWidget *parent, const QString &text, const QString &title = {}) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &title = {}) = 0;

    // The one that shows real message boxes.
    static Prompter &standard();
};

} // namespace App
