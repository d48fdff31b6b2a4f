#include "prompter.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace App {

namespace {

// A message box as wide as its caption needs: with a text as short as "下载完成" the box
// is narrower than its own title, and window managers cut the title down to "…".
int showBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title.isEmpty() ? QCoreApplication::applicationName() : title, text, buttons,
                    parent);
    box.setDefaultButton(defaultButton);
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 200;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                      0, 1, grid->columnCount());
    }
    return box.exec();
}

class MessageBoxPrompter final : public Prompter
{
public:
    void inform(QWidget *parent, const QString &text, const QString &title) override
    {
        showBox(parent, QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::Ok);
    }

    bool confirm(QWidget *parent, const QString &text, const QString &title) override
    {
        return showBox(parent, QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                       QMessageBox::Ok) == QMessageBox::Ok;
    }
};

} // namespace

Prompter &Prompter::standard()
{
    static MessageBoxPrompter prompter;
    return prompter;
}

} // namespace App
