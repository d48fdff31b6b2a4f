#include "inlinewarning.h"

using namespace Qt::Literals::StringLiterals;

namespace App {

namespace {

const char *const markedProperty = "inlineWarning";

void mark(QWidget *box, bool marked)
{
    if (!box || box->property(markedProperty).toBool() == marked)
        return;
    box->setProperty(markedProperty, marked);
    if (marked) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, QColor(0xff, 0xe4, 0xe1));
        box->setPalette(palette);
    } else {
        box->setPalette(QPalette());
    }
}

} // namespace

InlineWarning::InlineWarning(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x20));
    setPalette(palette);
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    // One line of Chinese text high even before the first warning (the fallback font of
    // Chinese is taller than the Latin one), so nothing moves when it comes.
    setText(u"文字"_s);
    setMinimumHeight(sizeHint().height());
    setText({});
    hide();
}

void InlineWarning::setWarning(QWidget *box, const QString &text)
{
    qsizetype at = -1;
    for (qsizetype i = 0; i < m_warnings.size(); ++i) {
        if (m_warnings.at(i).box == box)
            at = i;
    }
    if (text.isEmpty()) {
        if (at >= 0)
            m_warnings.removeAt(at);
        mark(box, false);
    } else {
        if (at >= 0)
            m_warnings[at].text = text;
        else
            m_warnings.append({box, text});
        mark(box, true);
    }
    refresh();
}

QString InlineWarning::warning(const QWidget *box) const
{
    for (const Warning &warning : m_warnings) {
        if (warning.box == box)
            return warning.text;
    }
    return {};
}

void InlineWarning::refresh()
{
    QStringList texts;
    for (const Warning &warning : std::as_const(m_warnings)) {
        if (warning.box)
            texts << warning.text;
    }
    setText(texts.join(u"  "_s));
    setVisible(!texts.isEmpty());
}

} // namespace App
