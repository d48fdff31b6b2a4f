#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class FailureReportDialog;
}

namespace App {

class Prompter;

// What went wrong in an export, listed for the user to read, copy or save.
class FailureReportDialog : public QDialog
{
    Q_OBJECT

public:
    // The save dialog: (parent, caption, filter) -> chosen path, empty when cancelled.
    using SaveFileChooser = std::function<QString(QWidget *, const QString &, const QString &)>;

    FailureReportDialog(const QString &report, Prompter &prompter, SaveFileChooser chooseSaveFile,
                        QWidget *parent = nullptr);
    ~FailureReportDialog() override;

    QString report() const;
    // "复制": the whole report to the clipboard.
    void copyReport();
    // "保存...": the report as a UTF-8 text file; a failed write leaves any old file as it was.
    void saveReport();

private:
    std::unique_ptr<Ui::FailureReportDialog> m_ui;
    Prompter &m_prompter;
    SaveFileChooser m_chooseSaveFile;
};

} // namespace App
