#include "ruleswindow.h"
#include "ui_ruleswindow.h"

#include "prompter.h"

#include "core/logging.h"

using namespace Qt::Literals::StringLiterals;

namespace App {

RulesWindow::RulesWindow(const QString &programDir, Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::RulesWindow>()), m_programDir(programDir),
      m_prompter(prompter)
{
    m_ui->setupUi(this);
    m_find = {m_ui->Text1_0, m_ui->Text1_1, m_ui->Text1_2, m_ui->Text1_3, m_ui->Text1_4};
    m_replace = {m_ui->Text2_0, m_ui->Text2_1, m_ui->Text2_2, m_ui->Text2_3, m_ui->Text2_4};
    static_assert(Export::replacementRuleCount == 5, "the form has five rows");
    connect(m_ui->saveButton, &QPushButton::clicked, this, &RulesWindow::save);
    setRules(Export::loadReplacementRules(m_programDir));
}

RulesWindow::~RulesWindow() = default;

QList<Export::ReplacementRule> RulesWindow::rules() const
{
    QList<Export::ReplacementRule> rules;
    for (int row = 0; row < Export::replacementRuleCount; ++row)
        rules.append({m_find.at(row)->text(), m_replace.at(row)->text()});
    return rules;
}

void RulesWindow::setRules(const QList<Export::ReplacementRule> &rules)
{
    for (int row = 0; row < Export::replacementRuleCount; ++row) {
        m_find.at(row)->setText(rules.value(row).find);
        m_replace.at(row)->setText(rules.value(row).replace);
    }
}

void RulesWindow::save()
{
    QString error;
    if (!Export::saveReplacementRules(m_programDir, rules(), &error)) {
        qCInfo(lcUi).noquote() << "cannot save re.txt:" << error;
        m_prompter.inform(this, u"保存失败："_s + error);
        return;
    }
    m_prompter.inform(this, u"保存完成！"_s);
}

} // namespace App
