#include "ruleswindow.h"

#include "prompter.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace App {

RulesWindow::RulesWindow(const QString &programDir, Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_programDir(programDir), m_prompter(prompter)
{
    setObjectName(u"Form3"_s);
    setWindowTitle(u"商品标题和描述替换"_s);
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    const QStringList labels{u"替换一"_s, u"替换二"_s, u"替换三"_s, u"替换四"_s, u"替换五"_s};
    for (int row = 0; row < Export::replacementRuleCount; ++row) {
        auto *find = new QLineEdit(this);
        auto *replace = new QLineEdit(this);
        find->setObjectName(u"Text1_"_s + QString::number(row));
        replace->setObjectName(u"Text2_"_s + QString::number(row));
        find->setMinimumWidth(180);
        replace->setMinimumWidth(180);
        grid->addWidget(new QLabel(labels.at(row), this), row, 0);
        grid->addWidget(find, row, 1);
        grid->addWidget(new QLabel(u"-->"_s, this), row, 2);
        grid->addWidget(replace, row, 3);
        m_find << find;
        m_replace << replace;
    }
    layout->addLayout(grid);
    for (const QString &note : {u"替换对象是：商品标题和商品描述内容"_s,
                                u"本替换功能，只是简单的替换，可以替换QQ号，手机号等"_s,
                                u"复杂的替换，可用淘宝助理‘批量编辑宝贝’功能。"_s}) {
        auto *label = new QLabel(note, this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto *saveButton = new QPushButton(u"保存"_s, this);
    saveButton->setObjectName(u"saveButton"_s);
    layout->addWidget(saveButton, 0, Qt::AlignRight);
    connect(saveButton, &QPushButton::clicked, this, &RulesWindow::save);

    setRules(Export::loadReplacementRules(m_programDir));
}

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
        m_prompter.inform(this, u"保存失败："_s + error);
        return;
    }
    m_prompter.inform(this, u"保存完成！"_s);
}

} // namespace App
