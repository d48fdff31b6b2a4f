// re.txt: the five find/replace rules as the rules window and the export read them. What is
// saved and read back is saved again byte for byte; rules typed into the window (the input as
// UTF-8, texts split at 0x1F) that may be saved read back exactly as typed.

#include "fuzzinput.h"

#include "export/description.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<Export::ReplacementRule> rules = Export::parseReplacementRules(Fuzz::inputBytes(data, size));
    Fuzz::check(rules.size() == Export::replacementRuleCount, "not five rules");

    const QByteArray saved = Export::serializeReplacementRules(rules);
    const QByteArray savedAgain = Export::serializeReplacementRules(Export::parseReplacementRules(saved));
    Fuzz::checkEqual(saved, savedAgain, "rules read back from their file save differently");

    QList<Export::ReplacementRule> typed(Export::replacementRuleCount);
    const QStringList texts = QString::fromUtf8(Fuzz::inputBytes(data, size)).split(QChar(0x1F));
    for (int i = 0; i < qMin(texts.size(), 2 * Export::replacementRuleCount); ++i)
        (i % 2 ? typed[i / 2].replace : typed[i / 2].find) = texts.at(i);
    if (Export::replacementRulesProblem(typed).isEmpty()) {
        const QList<Export::ReplacementRule> back =
            Export::parseReplacementRules(Export::serializeReplacementRules(typed));
        for (int row = 0; row < Export::replacementRuleCount; ++row) {
            Fuzz::check(back.at(row).find == typed.at(row).find &&
                            back.at(row).replace == typed.at(row).replace,
                        "rules the window may save read back differently");
        }
    }

    Export::applyReplacementRules(
        u"<p>韩版秋冬新款毛呢外套, 包邮 <img src=\"http://img0.paipaiimg.com/a.jpg\"></p>"_s, rules);
    return 0;
}
