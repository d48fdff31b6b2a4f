#include "failurereportdialog.h"
#include "ui_failurereportdialog.h"

#include "prompter.h"

#include "core/logging.h"
#include "export/pictures.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>

using namespace Qt::Literals::StringLiterals;

namespace App {

FailureReportDialog::FailureReportDialog(const QString &report, Prompter &prompter,
                                         SaveFileChooser chooseSaveFile, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FailureReportDialog>()), m_prompter(prompter),
      m_chooseSaveFile(std::move(chooseSaveFile))
{
    m_ui->setupUi(this);
    m_ui->failureText->setPlainText(report);
    connect(m_ui->copyReportButton, &QPushButton::clicked, this, &FailureReportDialog::copyReport);
    connect(m_ui->saveReportButton, &QPushButton::clicked, this, &FailureReportDialog::saveReport);
}

FailureReportDialog::~FailureReportDialog() = default;

QString FailureReportDialog::report() const
{
    return m_ui->failureText->toPlainText();
}

void FailureReportDialog::copyReport()
{
    QGuiApplication::clipboard()->setText(report());
}

void FailureReportDialog::saveReport()
{
    const QString path = m_chooseSaveFile(this, u"保存导出结果"_s, u"文本文件(*.txt)"_s);
    if (path.isEmpty())
        return;
    QString error;
    if (!Export::writeFileAtomically(path, report().toUtf8(), &error)) {
        qCInfo(lcUi).noquote() << "cannot save the export report" << path << error;
        m_prompter.inform(this, u"无法写入文件 "_s + QDir::toNativeSeparators(path) + u"："_s + error);
    }
}

} // namespace App
