#include "parampages.h"

#include "core/config.h"
#include "core/logging.h"
#include "core/text.h"
#include "parameterslots.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Market {

ParamPageInfo paramPageInfo(ParamPage page)
{
    switch (page) {
    case ParamPage::Main:
        return {u"copy36.htm"_s, {}, u"店铺复制"_s, true, Core::WaitMode::Short, MainSlot::count};
    case ParamPage::App:
        return {u"copy_app35.htm"_s, {}, u"app"_s, false, Core::WaitMode::Short, applicationSlotCount};
    case ParamPage::UrlFind:
        return {u"copy_fwz33.htm"_s, {}, u"找网址参数"_s, false, Core::WaitMode::Long, pageSlotCount};
    case ParamPage::Stock:
        return {u"ks_set.htm"_s, u"?21212"_s, u"找库存参数"_s, true, Core::WaitMode::Short, pageSlotCount};
    case ParamPage::FirstItem:
        return {u"f_1sp.htm"_s, {}, u"找首个商品"_s, false, Core::WaitMode::Long, pageSlotCount};
    }
    Q_UNREACHABLE();
    return {};
}

void readParamPairs(const QString &text, QStringList &table, int slotCount)
{
    while (table.size() < slotCount)
        table.append(QString());
    qsizetype pos = 0;
    while (true) {
        const qsizetype valueEnd = text.indexOf(u'#', pos);
        if (valueEnd < 0)
            return;
        const qsizetype numberEnd = text.indexOf(u'#', valueEnd + 1);
        if (numberEnd < 0)
            return; // a value without its slot number
        const QString value = text.mid(pos, valueEnd - pos);
        const QString number = Core::trimSpaces(text.mid(valueEnd + 1, numberEnd - valueEnd - 1));
        pos = numberEnd + 1;
        bool ok = false;
        const int slot = number.toInt(&ok);
        const bool digitsOnly = !number.isEmpty() && std::all_of(number.cbegin(), number.cend(), [](QChar c) {
            return c >= u'0' && c <= u'9';
        });
        if (ok && digitsOnly && slot >= 0 && slot < slotCount)
            table[slot] = value;
    }
}

QString fetchParamPageText(Core::HttpClient &client, const Core::Config &config, ParamPage page)
{
    const ParamPageInfo info = paramPageInfo(page);
    const QString path = u"/soft/venlo/"_s + info.fileName;
    const int mode = info.wait == Core::WaitMode::Short ? 2 : 1;
    QString text =
        Core::HttpGetText(client, Core::Config::address(config.makerPrimary, path + info.primaryQuery), mode);
    const bool fallBack = info.fallbackWhenBlank ? Core::isBlank(text) : !text.contains(info.checkText);
    if (fallBack)
        text = Core::HttpGetText(client, Core::Config::address(config.makerSecondary, path), mode);
    return text;
}

bool loadParamPage(Core::HttpClient &client, const Core::Config &config, ParamPage page, QStringList &table)
{
    const ParamPageInfo info = paramPageInfo(page);
    const QString text = fetchParamPageText(client, config, page);
    if (!text.contains(info.checkText)) {
        qCInfo(lcNet).noquote() << "parameter page" << info.fileName << "not read: no" << info.checkText
                                << "in the reply of either host";
        return false;
    }
    readParamPairs(text, table, info.slotCount);
    return true;
}

QStringList fetchParamSlots(Core::HttpClient &client, const Core::Config &config, ParamPage page)
{
    const ParamPageInfo info = paramPageInfo(page);
    QStringList table(info.slotCount);
    loadParamPage(client, config, page, table);
    return table;
}

} // namespace Market
