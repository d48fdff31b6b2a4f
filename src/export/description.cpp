#include "description.h"

#include "pictures.h"

#include "core/text.h"

#include <QFile>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace Export {

QList<ReplacementRule> parseReplacementRules(const QByteArray &fileBytes)
{
    QList<ReplacementRule> rules(replacementRuleCount);
    QString line = Core::decodeAnsi(fileBytes);
    const qsizetype lineEnd = line.indexOf(QRegularExpression(u"[\r\n]"_s));
    if (lineEnd >= 0)
        line.truncate(lineEnd);
    const QStringList parts = line.split(u'^');
    // The part after the last "^" is not a text of its own.
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const qsizetype row = i / 2;
        if (row >= replacementRuleCount)
            break;
        (i % 2 == 0 ? rules[row].find : rules[row].replace) = parts.at(i);
    }
    return rules;
}

QByteArray serializeReplacementRules(const QList<ReplacementRule> &rules)
{
    QString line;
    for (int row = 0; row < replacementRuleCount; ++row) {
        const ReplacementRule rule = rules.value(row);
        line += rule.find + u'^' + rule.replace + u'^';
    }
    return Core::encodeAnsi(line) + "\r\n";
}

QList<ReplacementRule> loadReplacementRules(const QString &programDir)
{
    QFile file(Core::programFilePath(programDir, u"re.txt"_s));
    if (!file.open(QIODevice::ReadOnly))
        return QList<ReplacementRule>(replacementRuleCount);
    return parseReplacementRules(file.readAll());
}

bool saveReplacementRules(const QString &programDir, const QList<ReplacementRule> &rules, QString *error)
{
    return writeFileAtomically(Core::programFilePath(programDir, u"re.txt"_s), serializeReplacementRules(rules),
                               error);
}

QString applyReplacementRules(const QString &text, const QList<ReplacementRule> &rules)
{
    QString result = text;
    for (const ReplacementRule &rule : rules) {
        if (!Core::isBlank(rule.find))
            result.replace(rule.find, rule.replace);
    }
    return result;
}

QString processDescription(const QString &detailInfo, const QList<ReplacementRule> *rules)
{
    QString text = Core::DecodeHtmlEntities(detailInfo);
    text.remove(u"<![CDATA["_s);
    text.remove(u"]]>"_s);
    text.replace(u',', u'，');
    text.remove(u'\r');
    text.remove(u'\n');
    text.remove(u'\t');
    text.remove(u"alt=\"\""_s);
    text.remove(u"title=\"\""_s);
    if (rules)
        text = applyReplacementRules(text, *rules);
    return text;
}

QString stripLinks(const QString &input, const QString &marker)
{
    if (Core::isBlank(input))
        return {};
    if (marker.isEmpty())
        return input;
    const bool itemLink = marker.contains(u"item.htm"_s);
    QString result;
    QString text = input;
    while (true) {
        const qsizetype at = text.indexOf(marker);
        if (at < 0)
            break;
        QString before = text.left(at);
        QString after = text.mid(at + 1);
        if (itemLink) {
            qsizetype close = after.indexOf(u"</a>"_s);
            if (close < 0)
                close = after.indexOf(u"</A>"_s);
            if (close >= 0)
                after.remove(close, 4);
        }
        const qsizetype tagEnd = after.indexOf(u'>');
        if (tagEnd < 0)
            return result + text;  // the tag never closes: the rest stays as it is, and the loop ends
        const qsizetype tagStart = before.lastIndexOf(u'<');
        if (tagStart >= 0)
            before.truncate(tagStart);
        result += before;
        text = after.mid(tagEnd + 1);
    }
    return result + text;
}

} // namespace Export
