#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Export {

// One find/replace pair of the rules window; inactive when its find text is blank.
struct ReplacementRule
{
    QString find;
    QString replace;
};

constexpr int replacementRuleCount = 5;

// re.txt: one GBK line "find1^replace1^...^find5^replace5^" + CR LF.
QList<ReplacementRule> parseReplacementRules(const QByteArray &fileBytes);
QByteArray serializeReplacementRules(const QList<ReplacementRule> &rules);
// Why the rules can't be kept in re.txt as typed, or empty: a "^" or a line break would
// shift every later text, a character GBK has no code for would come back as "?".
QString replacementRulesProblem(const QList<ReplacementRule> &rules);
// The rules of re.txt in the folder; five empty rules when it is missing.
QList<ReplacementRule> loadReplacementRules(const QString &programDir);
// Refuses rules with a problem (the file stays as it was) and writes the file whole or not at all.
bool saveReplacementRules(const QString &programDir, const QList<ReplacementRule> &rules, QString *error);

QString applyReplacementRules(const QString &text, const QList<ReplacementRule> &rules);

// The description as the import files carry it: entities decoded, CDATA markers
// gone, commas full-width, no line breaks or TABs, empty alt/title attributes
// removed, then the rules when asked for.
QString processDescription(const QString &detailInfo, const QList<ReplacementRule> *rules);

// Removes every opening tag that holds the marker, keeping the link text.
QString stripLinks(const QString &text, const QString &marker);

// The description's picture URLs in order of first appearance without repeats,
// found with the six markers of parameter slots 28 to 33.
QStringList extractDescriptionPictures(const QString &description, const QStringList &markers);

} // namespace Export
