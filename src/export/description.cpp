#include "description.h"

#include "pictures.h"

#include "core/text.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringView>

#include <algorithm>
#include <utility>

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

QString replacementRulesProblem(const QList<ReplacementRule> &rules)
{
    static const QString rowNames[replacementRuleCount] = {u"替换一"_s, u"替换二"_s, u"替换三"_s, u"替换四"_s,
                                                           u"替换五"_s};
    for (int row = 0; row < replacementRuleCount; ++row) {
        const ReplacementRule rule = rules.value(row);
        for (const auto &[text, what] :
             {std::pair{rule.find, u"查找内容"_s}, std::pair{rule.replace, u"替换内容"_s}}) {
            const QString where = rowNames[row] + u"的"_s + what;
            if (text.contains(u'^'))
                return where + u"含有字符“^”，替换规则无法保存"_s;
            if (text.contains(u'\r') || text.contains(u'\n'))
                return where + u"含有换行，替换规则无法保存"_s;
            if (Core::decodeAnsi(Core::encodeAnsi(text)) != text)
                return where + u"含有无法保存的字符，替换规则无法保存"_s;
        }
    }
    return {};
}

bool saveReplacementRules(const QString &programDir, const QList<ReplacementRule> &rules, QString *error)
{
    const QString problem = replacementRulesProblem(rules);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    return writeFileAtomically(Core::programFilePath(programDir, u"re.txt"_s),
                               serializeReplacementRules(rules), error);
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

    // The text is walked by position and never copied whole: the closing tags that item links
    // give up are remembered as ranges of the input (4 characters each) and skipped, so a
    // description full of markers costs time in proportion to its length.
    QList<qsizetype> removed; // ascending
    qsizetype ahead = 0;      // removed.mid(ahead) lie at or after the walk's position
    const auto firstRemovedFrom = [&](qsizetype at) {
        return std::lower_bound(removed.cbegin() + ahead, removed.cend(), at - 3);
    };
    const auto isRemoved = [&](qsizetype at, qsizetype length) {
        const auto range = firstRemovedFrom(at);
        return range != removed.cend() && *range < at + length;
    };
    QString result;
    const auto keep = [&](qsizetype from, qsizetype to) {
        for (auto range = firstRemovedFrom(from); range != removed.cend() && *range < to; ++range) {
            result += QStringView(input).sliced(from, *range - from);
            from = *range + 4;
        }
        if (from < to)
            result += QStringView(input).sliced(from, to - from);
    };

    Core::ForwardFinder markers(input, marker);
    Core::ForwardFinder closes(input, u"</a>"_s), upperCloses(input, u"</A>"_s);
    // Every closing tag between a marker and the last one taken for an earlier marker is gone.
    qsizetype closesDone = 0, upperClosesDone = 0;
    qsizetype pos = 0;
    while (true) {
        qsizetype at = markers.from(pos);
        while (at >= 0 && isRemoved(at, marker.size()))
            at = markers.from(at + 1);
        if (at < 0)
            break;
        qsizetype close = -1;
        if (itemLink) {
            close = closes.from(std::max(at + 1, closesDone));
            if (close >= 0) {
                closesDone = close + 4;
            } else {
                close = upperCloses.from(std::max(at + 1, upperClosesDone));
                if (close >= 0)
                    upperClosesDone = close + 4;
            }
            if (close >= 0)
                removed.insert(std::upper_bound(removed.cbegin() + ahead, removed.cend(), close), close);
        }
        qsizetype tagEnd = input.indexOf(u'>', at + 1);
        while (tagEnd >= 0 && isRemoved(tagEnd, 1))
            tagEnd = input.indexOf(u'>', tagEnd + 1);
        if (tagEnd < 0) {
            // The tag never closes: the rest stays as it is, and the walk ends.
            if (close >= 0)
                removed.removeOne(close);
            break;
        }
        qsizetype tagStart = QStringView(input).sliced(pos, at - pos).lastIndexOf(u'<');
        while (tagStart >= 0 && isRemoved(pos + tagStart, 1))
            tagStart = tagStart == 0 ? -1 : QStringView(input).sliced(pos, tagStart).lastIndexOf(u'<');
        keep(pos, tagStart >= 0 ? pos + tagStart : at);
        pos = tagEnd + 1;
        while (ahead < removed.size() && removed.at(ahead) < pos)
            ++ahead;
    }
    keep(pos, input.size());
    return result;
}

namespace {

void addUrl(QString &list, const QString &url)
{
    if (list.trimmed().isEmpty())
        list = url;
    else if (!list.contains(url)) // a URL inside an already collected one is not added
        list += u'\t' + url;
}

} // namespace

QStringList extractDescriptionPictures(const QString &description, const QStringList &markers)
{
    const auto marker = [&markers](int slot) { return markers.value(slot - 28); };
    const QString m28 = marker(28), m29 = marker(29), m30 = marker(30), m31 = marker(31), m32 = marker(32),
                  m33 = marker(33);
    QString list;
    // An empty marker matches everywhere and would never advance: such a pass finds nothing.
    if (!m28.isEmpty()) {
        qsizetype pos = 0;
        while (true) {
            const qsizetype at = description.indexOf(m28, pos);
            if (at < 0)
                break;
            pos = at + m28.size();
            const QStringView rest = QStringView(description).mid(pos);
            QString url;
            const qsizetype tagEnd = m29.isEmpty() ? -1 : rest.indexOf(m29);
            if (tagEnd >= 0) {
                QStringView tag = rest.left(tagEnd);
                const qsizetype src = tag.indexOf(m30);
                if (src >= 0) {
                    tag = tag.mid(src + m30.size());
                    const qsizetype close = m31.isEmpty() ? -1 : tag.indexOf(m31);
                    if (close >= 0)
                        url = tag.left(close).toString();
                }
            }
            addUrl(list, url);
        }
    }
    if (!m32.isEmpty()) {
        qsizetype pos = 0;
        while (true) {
            const qsizetype at = description.indexOf(m32, pos);
            if (at < 0)
                break;
            pos = at + m32.size();
            const qsizetype end = m33.isEmpty() ? -1 : description.indexOf(m33, pos);
            addUrl(list, end < 0 ? QString() : description.mid(pos, end - pos));
        }
    }
    return list.isEmpty() ? QStringList() : list.split(u'\t');
}

} // namespace Export
