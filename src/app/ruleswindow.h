#pragma once

#include "export/description.h"

#include <QWidget>

class QLineEdit;

namespace App {

class Prompter;

// "商品标题和描述替换": five find/replace rows kept in re.txt.
class RulesWindow : public QWidget
{
    Q_OBJECT

public:
    RulesWindow(const QString &programDir, Prompter &prompter, QWidget *parent = nullptr);

    // The rows as they stand in the boxes, unsaved edits included.
    QList<Export::ReplacementRule> rules() const;
    void setRules(const QList<Export::ReplacementRule> &rules);
    // "保存": writes the boxes to re.txt and says so.
    void save();

    QLineEdit *findBox(int row) const { return m_find.value(row); }
    QLineEdit *replaceBox(int row) const { return m_replace.value(row); }

private:
    QString m_programDir;
    Prompter &m_prompter;
    QList<QLineEdit *> m_find;
    QList<QLineEdit *> m_replace;
};

} // namespace App
