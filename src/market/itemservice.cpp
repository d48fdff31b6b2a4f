#include "itemservice.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/text.h"

using namespace Qt::Literals::StringLiterals;

namespace Market {

QString blankFieldResult()
{
    return QString(45, u'\t');
}

QString itemServiceAddress(const Core::Config &config, const QString &itemCode)
{
    return Core::Config::address(config.itemApi, u"/item/getItem.xhtml?format=xml&itemCode="_s) +
           Core::trimSpaces(itemCode) + u"&needParseAttr=1&needDetailInfo=1&needExtendInfo=0"_s;
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

    const bool haveSource = !Core::isBlank(source);
    QString result;
    for (const QString &rawName : list.split(u',')) {
        const QString name = Core::trimSpaces(rawName);
        const QString value = haveSource ? Core::trimSpaces(elementValue(source, name)) : QString();
        // Leading empty values add no TAB; later ones do.
        if (Core::isBlank(result))
            result = value;
        else
            result += u'\t' + value;
    }
    return Core::isBlank(result) ? blankFieldResult() : result;
}

bool isCompleteDocument(const QString &source)
{
    qsizetype at = 0;
    // Past the declaration, comments and other markup that come before the first element.
    while (true) {
        at = source.indexOf(u'<', at);
        if (at < 0 || at + 1 >= source.size())
            return false;
        const QChar next = source.at(at + 1);
        if (next == u'?' || next == u'!') {
            const QString end = source.mid(at, 4) == u"<!--"_s ? u"-->"_s : (next == u'?' ? u"?>"_s : u">"_s);
            const qsizetype close = source.indexOf(end, at + 2);
            if (close < 0)
                return false;
            at = close + end.size();
            continue;
        }
        break;
    }
    qsizetype nameEnd = at + 1;
    while (nameEnd < source.size()) {
        const QChar c = source.at(nameEnd);
        if (c == u'>' || c == u'/' || c.isSpace())
            break;
        ++nameEnd;
    }
    const QString name = source.mid(at + 1, nameEnd - at - 1);
    if (name.isEmpty())
        return false;
    const qsizetype tagEnd = source.indexOf(u'>', nameEnd);
    if (tagEnd < 0)
        return false;
    if (source.at(tagEnd - 1) == u'/')
        return true; // an empty element closes itself
    return source.indexOf(u"</"_s + name + u'>', tagEnd) >= 0;
}

ItemDocument ItemDocument::fetch(Core::HttpClient &client, const Core::Config &config,
                                 const QString &itemCode, QString *problem)
{
    const QString address = itemServiceAddress(config, itemCode);
    if (!Core::isFetchableAddress(address)) {
        if (problem)
            *problem = u"商品服务的地址不是 http:// 网址"_s;
        return {};
    }
    const Core::HttpResult result = client.get({address, Core::WaitMode::Long, Core::BodyKind::Page});
    ItemDocument document(result.completed && !result.body.isEmpty() ? Core::decodeAnsi(result.body)
                                                                     : QString());
    if (!problem)
        return document;
    if (!result.completed)
        *problem = u"商品服务："_s + result.reason();
    else if (result.status >= 400)
        *problem = u"商品服务返回错误（HTTP "_s + QString::number(result.status) + u"）"_s;
    else if (result.body.isEmpty())
        *problem = u"商品服务返回了空内容"_s;
    else if (!isCompleteDocument(document.source()))
        *problem = u"商品服务的回复不完整或不是商品信息"_s;
    else if (!document.hasItem()) {
        const QString message = Core::DecodeHtmlEntities(document.field(u"errorMessage"_s));
        *problem = message.isEmpty() ? u"商品服务没有这个商品的信息"_s : u"商品服务："_s + message;
    } else
        problem->clear();
    return document;
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
    static const QStringList recordElements = {u"itemName"_s, u"itemPrice"_s, u"detailInfo"_s, u"picLink"_s,
                                               u"stockCount"_s};
    for (const QString &name : recordElements) {
        if (!field(name).isEmpty())
            return true;
    }
    return false;
}

QString QueryItemFields(Core::HttpClient &client, const Core::Config &config, const QString &itemCode,
                        const QString &fieldList)
{
    return ItemDocument::fetch(client, config, itemCode).fields(fieldList);
}

} // namespace Market
