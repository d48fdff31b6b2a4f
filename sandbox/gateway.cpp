#include "gateway.h"

#include "gbkcodec.h"
#include "httprequest.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QUrl>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

using Parameters = QList<std::pair<QString, QString>>;

// "value#slot#" pairs of a maker page kept in the data folder (UTF-8 there).
bool readSlots(const QString &path, QHash<int, QString> *table, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + path + u": "_s + file.errorString();
        return false;
    }
    const QStringList parts = QString::fromUtf8(file.readAll()).split(u'#');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        bool ok = false;
        const int slot = parts.at(i + 1).trimmed().toInt(&ok);
        if (ok)
            table->insert(slot, parts.at(i));
    }
    return true;
}

// Form decoding, as the platform reads its query: "+" is a space, %XX a UTF-8 byte.
QString formDecode(QString text)
{
    text.replace(u'+', u' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

Parameters parseQuery(const QString &query)
{
    Parameters parameters;
    if (query.isEmpty())
        return parameters;
    for (const QString &piece : query.split(u'&')) {
        const qsizetype equals = piece.indexOf(u'=');
        if (equals < 0)
            parameters.append({formDecode(piece), QString()});
        else
            parameters.append({formDecode(piece.left(equals)), formDecode(piece.mid(equals + 1))});
    }
    return parameters;
}

std::optional<QString> valueOf(const Parameters &parameters, const QString &name)
{
    for (const auto &[key, value] : parameters) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString element(const QString &name, const QString &text)
{
    return u'<' + name + u'>' + escaped(text) + u"</"_s + name + u'>';
}

HttpResponse xmlReply(const QString &body)
{
    return HttpResponse(200, "text/xml;charset=UTF-8",
                        (u"<?xml version=\"1.0\" encoding=\"utf-8\" ?>"_s + body).toUtf8());
}

// The platform reports every error inside a 200 answer.
HttpResponse errorReply(int code, const QString &message, const QString &subCode = {},
                        const QString &subMessage = {})
{
    QString body =
        u"<error_response>"_s + element(u"code"_s, QString::number(code)) + element(u"msg"_s, message);
    if (!subCode.isEmpty())
        body += element(u"sub_code"_s, subCode) + element(u"sub_msg"_s, subMessage);
    return xmlReply(body + u"</error_response>"_s);
}

HttpResponse unknownNick(const QString &nick)
{
    return errorReply(15, u"Remote service error"_s, u"isv.invalid-parameter:user-not-exist:invalid-nick"_s,
                      u"用户不存在："_s + nick);
}

// The requested fields of one item, in the order asked; fields the item lacks are left out.
QString itemFields(const SellerCatalog::Seller &seller, const SellerCatalog::Item &item,
                   const QString &fields)
{
    QString xml;
    for (const QString &rawField : fields.split(u',')) {
        const QString field = rawField.trimmed();
        if (field == u"num_iid")
            xml += element(field, item.numIid);
        else if (field == u"title" && !item.title.isEmpty())
            xml += element(field, item.title);
        else if (field == u"nick")
            xml += element(field, seller.nick);
        else if (field == u"price" && !item.price.isEmpty())
            xml += element(field, item.price);
        else if (field == u"postage_id" && !item.postageId.isEmpty())
            xml += element(field, item.postageId);
        else if (field == u"location")
            xml += u"<location>"_s + element(u"city"_s, item.city) +
                   (item.state ? element(u"state"_s, *item.state) : QString()) + u"</location>"_s;
    }
    return xml;
}

struct MethodInfo
{
    QString name;
    QStringList required;
};

const QList<MethodInfo> &methods()
{
    static const QList<MethodInfo> known = {
        {u"taobao.item.get"_s, {u"fields"_s, u"num_iid"_s}},
        {u"taobao.items.get"_s, {u"fields"_s, u"nicks"_s}},
        {u"taobao.sellercats.list.get"_s, {u"nick"_s}},
    };
    return known;
}

} // namespace

bool Gateway::load(const QString &mainPageFile, const QString &firstItemPageFile, const QString &sellersFile,
                   QString *error)
{
    QHash<int, QString> mainSlots;
    QHash<int, QString> firstItemSlots;
    if (!readSlots(mainPageFile, &mainSlots, error) || !readSlots(firstItemPageFile, &firstItemSlots, error))
        return false;
    m_gatewayPath = QUrl(mainSlots.value(0)).path();
    m_secret = mainSlots.value(1);
    m_appKey = mainSlots.value(2);
    m_listingPath = QUrl(firstItemSlots.value(0)).path();
    if (m_gatewayPath.isEmpty() || m_secret.isEmpty() || m_appKey.isEmpty()) {
        *error =
            mainPageFile + u": slots 0 to 2 must hold the gateway address, the app secret and the app key"_s;
        return false;
    }
    if (m_listingPath.isEmpty()) {
        *error = firstItemPageFile + u": slot 0 must hold the listing page's address"_s;
        return false;
    }
    return m_sellers.load(sellersFile, error);
}

std::optional<HttpResponse> Gateway::route(const HttpRequest &request) const
{
    if (request.path() == m_gatewayPath)
        return call(request);
    if (request.path() == m_listingPath)
        return listingPage(request);
    return std::nullopt;
}

QString Gateway::signature(const QString &secret, QList<std::pair<QString, QString>> parameters)
{
    parameters.removeIf([](const auto &parameter) { return parameter.first == u"sign"; });
    std::stable_sort(parameters.begin(), parameters.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QString text = secret;
    for (const auto &[name, value] : parameters)
        text += name + value;
    text += secret;
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

HttpResponse Gateway::call(const HttpRequest &request) const
{
    const Parameters parameters = parseQuery(request.query());
    const std::optional<QString> method = valueOf(parameters, u"method"_s);
    if (!method)
        return errorReply(21, u"Missing Method"_s);
    const auto info = std::find_if(methods().cbegin(), methods().cend(),
                                   [&method](const MethodInfo &known) { return known.name == *method; });
    if (info == methods().cend())
        return errorReply(22, u"Invalid Method"_s);
    const std::optional<QString> appKey = valueOf(parameters, u"app_key"_s);
    if (!appKey)
        return errorReply(28, u"Missing App Key"_s);
    if (*appKey != m_appKey)
        return errorReply(29, u"Invalid App Key"_s);
    const std::optional<QString> timestamp = valueOf(parameters, u"timestamp"_s);
    if (!timestamp)
        return errorReply(30, u"Missing Timestamp"_s);
    const QDateTime when = QDateTime::fromString(*timestamp, u"yyyy-MM-dd HH:mm:ss"_s);
    if (!when.isValid())
        return errorReply(31, u"Invalid Timestamp"_s, u"isv.invalid-timestamp"_s,
                          u"时间戳格式应为 yyyy-MM-dd HH:mm:ss"_s);
    if (qAbs(when.secsTo(QDateTime::currentDateTime())) > TimestampToleranceSeconds)
        return errorReply(31, u"Invalid Timestamp"_s, u"isv.invalid-timestamp"_s,
                          u"时间戳与服务器时间相差超过10分钟"_s);
    if (valueOf(parameters, u"format"_s) != u"xml"_s)
        return errorReply(23, u"Invalid Format"_s);
    const std::optional<QString> version = valueOf(parameters, u"v"_s);
    if (!version)
        return errorReply(32, u"Missing Version"_s);
    if (*version != u"2.0")
        return errorReply(34, u"Unsupported Version"_s);
    if (valueOf(parameters, u"sign_method"_s).value_or(u"md5"_s) != u"md5")
        return errorReply(41, u"Invalid Arguments:sign_method"_s);
    const std::optional<QString> sign = valueOf(parameters, u"sign"_s);
    if (!sign)
        return errorReply(24, u"Missing Signature"_s);
    // The platform itself would sort; the sandbox insists on the order the product promises.
    bool inOrder = parameters.constLast().first == u"sign";
    for (qsizetype i = 0; inOrder && i + 1 < parameters.size(); ++i) {
        inOrder = parameters.at(i).first != u"sign" &&
                  (i == 0 || parameters.at(i - 1).first < parameters.at(i).first);
    }
    if (!inOrder)
        return errorReply(41, u"Invalid Arguments"_s, u"isv.parameter-order"_s,
                          u"parameters must come in ascending order of their names, sign last"_s);
    if (*sign != signature(m_secret, parameters))
        return errorReply(25, u"Invalid Signature"_s);
    for (const QString &name : info->required) {
        if (valueOf(parameters, name).value_or(QString()).isEmpty())
            return errorReply(40, u"Missing Required Arguments:"_s + name);
    }

    if (*method == u"taobao.item.get")
        return itemGet(*valueOf(parameters, u"num_iid"_s), *valueOf(parameters, u"fields"_s));
    if (*method == u"taobao.items.get")
        return itemsGet(*valueOf(parameters, u"nicks"_s), *valueOf(parameters, u"fields"_s));
    return sellerCategories(*valueOf(parameters, u"nick"_s));
}

HttpResponse Gateway::itemGet(const QString &numIid, const QString &fields) const
{
    const auto found = m_sellers.item(numIid);
    if (!found)
        return errorReply(15, u"Remote service error"_s, u"isv.item-get-service-error:ITEM_NOT_FOUND"_s,
                          u"宝贝不存在"_s);
    return xmlReply(u"<item_get_response><item>"_s + itemFields(*found->first, found->second, fields) +
                    u"</item></item_get_response>"_s);
}

HttpResponse Gateway::itemsGet(const QString &nicks, const QString &fields) const
{
    QString items;
    int count = 0;
    for (const QString &nick : nicks.split(u',')) {
        const SellerCatalog::Seller *seller = m_sellers.seller(nick);
        if (!seller)
            return unknownNick(nick);
        if (!seller->listedByItemsCall)
            continue;
        for (const SellerCatalog::Item &item : seller->items) {
            items += u"<item>"_s + itemFields(*seller, item, fields) + u"</item>"_s;
            ++count;
        }
    }
    // The platform leaves out an empty list altogether.
    const QString list = count > 0 ? u"<items list=\"true\">"_s + items + u"</items>"_s : QString();
    return xmlReply(u"<items_get_response>"_s + list + element(u"total_results"_s, QString::number(count)) +
                    u"</items_get_response>"_s);
}

HttpResponse Gateway::sellerCategories(const QString &nick) const
{
    const SellerCatalog::Seller *seller = m_sellers.seller(nick);
    if (!seller)
        return unknownNick(nick);
    if (seller->categories.isEmpty())
        return xmlReply(u"<sellercats_list_get_response></sellercats_list_get_response>"_s);
    QString list;
    int order = 0;
    // The platform's order inside each category: cid, parent_cid, name.
    for (const SellerCatalog::Category &category : seller->categories) {
        list += u"<seller_cat>"_s + element(u"cid"_s, category.cid) +
                element(u"parent_cid"_s, category.parentCid) + element(u"name"_s, category.name) +
                element(u"pic_url"_s, QString()) + element(u"sort_order"_s, QString::number(++order)) +
                element(u"type"_s, u"manual_type"_s) + u"</seller_cat>"_s;
    }
    return xmlReply(u"<sellercats_list_get_response><seller_cats list=\"true\">"_s + list +
                    u"</seller_cats></sellercats_list_get_response>"_s);
}

HttpResponse Gateway::listingPage(const HttpRequest &request) const
{
    const QString nick = request.queryItem(u"nick");
    const SellerCatalog::Seller *seller = m_sellers.seller(nick);
    QString html =
        u"<!DOCTYPE html>\n<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
        u"<title>"_s +
        escaped(nick) + u" - 宝贝列表</title></head>\n<body>\n"_s;
    if (!seller || seller->items.isEmpty()) {
        html += u"<div class=\"shop-empty\">没有找到掌柜 "_s + escaped(nick) +
                u" 的宝贝</div>\n</body></html>\n"_s;
        return HttpResponse(200, "text/html; charset=GBK", GbkCodec::encode(html));
    }
    // A recommendation of another shop's item stands before the list, as on the real pages.
    html += u"<div class=\"shop-hd\"><h1>"_s + escaped(nick) + u"的店铺</h1></div>\n"_s +
            u"<div class=\"hot-sale\"><h3>热卖推荐</h3><a "
            u"href=\"http://item.taobao.com/item.htm?id=39999999999\" "
            u"target=\"_blank\">全网热卖</a></div>\n<ul class=\"shop-items\">\n"_s;
    for (const SellerCatalog::Item &item : seller->items) {
        html += u"<li class=\"item\"><a href=\"http://item.taobao.com/item.htm?id="_s + item.numIid +
                u"\" target=\"_blank\">"_s + escaped(item.title) + u"</a><span class=\"price\">￥"_s +
                escaped(item.price) + u"</span></li>\n"_s;
    }
    html += u"</ul>\n</body></html>\n"_s;
    return HttpResponse(200, "text/html; charset=GBK", GbkCodec::encode(html));
}

} // namespace Sandbox
