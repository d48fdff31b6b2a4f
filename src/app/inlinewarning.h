#pragma once

#include <QLabel>
#include <QList>
#include <QPointer>

namespace App {

// A warning shown beside the boxes it watches, in place of a message box: the user goes on
// typing and no keystroke is lost. Each box has at most one warning; the label shows them
// all and marks their boxes, and keeps its place in the layout while it has nothing to say,
// so the window does not jump under the user's fingers.
class InlineWarning : public QLabel
{
    Q_OBJECT

public:
    explicit InlineWarning(QWidget *parent = nullptr);

    // Sets the box's warning; the empty text takes it away.
    void setWarning(QWidget *box, const QString &text);
    QString warning(const QWidget *box) const;
    bool hasWarnings() const { return !m_warnings.isEmpty(); }

private:
    struct Warning
    {
        QPointer<QWidget> box;
        QString text;
    };
    void refresh();

    QList<Warning> m_warnings;
};

} // namespace App
