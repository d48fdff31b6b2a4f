// re.txt: the five find/replace rules as the rules window and the export read them. What is
// saved and read back is saved again byte for byte.

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

    Export::applyReplacementRules(
        u"<p>韩版秋冬新款毛呢外套, 包邮 <img src=\"http://img0.paipaiimg.com/a.jpg\"></p>"_s, rules);
    return 0;
}
