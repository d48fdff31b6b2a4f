#include "prompter.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace App {

namespace {

class MessageBoxPrompter final : public Prompter
{
public:
    void inform(QWidget *parent, const QString &text, const QString &title) override
    {
        QMessageBox::information(parent, title.isEmpty() ? QCoreApplication::applicationName() : title, text,
                                 QMessageBox::Ok);
    }

    bool confirm(QWidget *parent, const QString &text, const QString &title) override
    {
        return QMessageBox::question(parent, title.isEmpty() ? QCoreApplication::applicationName() : title, text,
                                     QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
            == QMessageBox::Ok;
    }
};

} // namespace

Prompter &Prompter::standard()
{
    static MessageBoxPrompter prompter;
    return prompter;
}

} // namespace App
