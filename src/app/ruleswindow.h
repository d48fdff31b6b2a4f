#pragma once

#include "export/description.h"

#include <QWidget>

#include <memory>

class QLineEdit;

namespace Ui {
class RulesWindow;
}

namespace App {

class Prompter;

// "商品标题和描述替换": five find/replace rows kept in re.txt.
class RulesWindow : public QWidget
{
    Q_OBJECT

public:
    RulesWindow(const QString &programDir, Prompter &prompter, QWidget *parent = nullptr);
    ~RulesWindow() override;

    // The rows as they stand in the boxes, unsaved edits included.
    QList<Export::ReplacementRule> rules() const;
    void setRules(const QList<Export::ReplacementRule> &rules);
    // "保存": writes the boxes to re.txt and says so.
    void save();

    QLineEdit *findBox(int row) const { return m_find.value(row); }
    QLineEdit *replaceBox(int row) const { return m_replace.value(row); }

private:
    std::unique_ptr<Ui::RulesWindow> m_ui;
    QString m_programDir;
    Prompter &m_prompter;
    QList<QLineEdit *> m_find;    // the control array Text1, rows one to five
    QList<QLineEdit *> m_replace; // Text2
};

} // namespace App
