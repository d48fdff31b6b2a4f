#include "itemservice.h"

#include "config.h"
#include "httpclient.h"
#include "text.h"

using namespace Qt::Literals::StringLiterals;

namespace Core {

QString blankFieldResult()
{
    return QString(45, u'\t');
}

QString itemServiceAddress(const Config &config, const QString &itemCode)
{
    return Config::address(config.itemApi, u"/item/getItem.xhtml?format=xml&itemCode="_s)
        + trimSpaces(itemCode) + u"&needParseAttr=1&needDetailInfo=1&needExtendInfo=0"_s;
}

namespace {

QString elementValue(const QString &source, const QString &name)
{
    // Only the bare tag counts: an opening tag with attributes or a prefix is not found.
    const QString open = u'<' + name + u'>';
    const qsizetype start = source.indexOf(open);
    if (start < 0)
        return {};
    const qsizetype from = start + open.size();
    const qsizetype end = source.indexOf(u"</"_s + name + u'>', from);
    if (end < 0)
        return {};
    return source.mid(from, end - from);
}

} // namespace

QString ExtractItemFields(const QString &source, const QString &fieldList)
{
    QString list = fieldList;
    if (list.contains(u"item_img"_s) || list.contains(u"prop_img"_s))
        list = u"item"_s;

    const bool haveSource = !isBlank(source);
    QString result;
    for (const QString &rawName : list.split(u',')) {
        const QString name = trimSpaces(rawName);
        const QString value = haveSource ? trimSpaces(elementValue(source, name)) : QString();
        // Leading empty values add no TAB; later ones do.
        if (isBlank(result))
            result = value;
        else
            result += u'\t' + value;
    }
    return isBlank(result) ? blankFieldResult() : result;
}

ItemDocument ItemDocument::fetch(HttpClient &client, const Config &config, const QString &itemCode)
{
    return ItemDocument(HttpGetText(client, itemServiceAddress(config, itemCode), 1));
}

QString ItemDocument::fields(const QString &fieldList) const
{
    return ExtractItemFields(m_source, fieldList);
}

QString ItemDocument::field(const QString &name) const
{
    const QString value = fields(name);
    return value == blankFieldResult() ? QString() : value;
}

bool ItemDocument::hasItem() const
{
    static const QStringList recordElements = {u"itemName"_s, u"itemPrice"_s, u"detailInfo"_s,
                                               u"picLink"_s, u"stockCount"_s};
    for (const QString &name : recordElements) {
        if (!field(name).isEmpty())
            return true;
    }
    return false;
}

QString QueryItemFields(HttpClient &client, const Config &config, const QString &itemCode,
                        const QString &fieldList)
{
    return ItemDocument::fetch(client, config, itemCode).fields(fieldList);
}

} // namespace Core
