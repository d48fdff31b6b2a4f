#include "openplatform.h"

#include "core/httpclient.h"
#include "core/text.h"
#include "itemservice.h"
#include "parameterslots.h"

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace Market {

OpenPlatformParams OpenPlatformParams::fromSlots(const QStringList &table)
{
    return {table.value(MainSlot::gateway),    table.value(MainSlot::appSecret),
            table.value(MainSlot::appKey),     table.value(MainSlot::signMethod),
            table.value(MainSlot::apiVersion), table.value(MainSlot::replyFormat)};
}

QList<QueryParameter> itemGetParameters(const OpenPlatformParams &params, const QString &numIid,
                                        const QString &fields, const QString &timestamp)
{
    return {{u"app_key"_s, params.appKey}, {u"fields"_s, fields},
            {u"format"_s, params.format},  {u"method"_s, u"taobao.item.get"_s},
            {u"num_iid"_s, numIid},        {u"sign_method"_s, params.signMethod},
            {u"timestamp"_s, timestamp},   {u"v"_s, params.version}};
}

QList<QueryParameter> firstItemOfSellerParameters(const OpenPlatformParams &params, const QString &nick,
                                                  const QString &timestamp)
{
    return {
        {u"app_key"_s, params.appKey},         {u"fields"_s, u"num_iid"_s}, {u"format"_s, params.format},
        {u"method"_s, u"taobao.items.get"_s},  {u"nicks"_s, nick},          {u"order_by"_s, u"delist_time"_s},
        {u"sign_method"_s, params.signMethod}, {u"timestamp"_s, timestamp}, {u"v"_s, params.version}};
}

QList<QueryParameter> sellerCategoriesParameters(const OpenPlatformParams &params, const QString &nick,
                                                 const QString &timestamp)
{
    return {{u"app_key"_s, params.appKey},
            {u"format"_s, params.format},
            {u"method"_s, u"taobao.sellercats.list.get"_s},
            {u"nick"_s, nick},
            {u"sign_method"_s, params.signMethod},
            {u"timestamp"_s, timestamp},
            {u"v"_s, params.version}};
}

SignedRequest signRequest(const OpenPlatformParams &params, const QList<QueryParameter> &parameters)
{
    SignedRequest request;
    request.signingText = params.secret;
    for (const auto &[name, value] : parameters) {
        request.signingText += name + value;
        // Only the nick is encoded; every other value, the timestamp's space included,
        // stands raw in the query and is left to the HTTP layer.
        const QString sent = name == u"nick"_s || name == u"nicks"_s ? Core::PercentEncodeUtf8(value) : value;
        if (!request.query.isEmpty())
            request.query += u'&';
        request.query += name + u'=' + sent;
    }
    request.signingText += params.secret;
    request.signature = Core::Md5Hex(request.signingText);
    request.query += u"&sign="_s + request.signature;
    request.address = params.gateway + u'?' + request.query;
    return request;
}

QString openPlatformTimestamp(const QDateTime &when)
{
    return Core::FormatDateYmd(when.date()) + u' ' + Core::FormatTimeHms(when.time());
}

namespace {

// The five predefined entities and numeric references, in one pass.
QString decodeXmlEntities(const QString &text)
{
    if (!text.contains(u'&'))
        return text;
    QString result;
    result.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype amp = text.indexOf(u'&', pos);
        if (amp < 0) {
            result += QStringView(text).sliced(pos);
            break;
        }
        result += QStringView(text).sliced(pos, amp - pos);
        const qsizetype semicolon = text.indexOf(u';', amp + 1);
        const QStringView name = semicolon > amp && semicolon - amp <= 10
                                     ? QStringView(text).sliced(amp + 1, semicolon - amp - 1)
                                     : QStringView();
        QString replacement;
        if (name == u"lt") {
            replacement = u"<"_s;
        } else if (name == u"gt") {
            replacement = u">"_s;
        } else if (name == u"amp") {
            replacement = u"&"_s;
        } else if (name == u"quot") {
            replacement = u"\""_s;
        } else if (name == u"apos") {
            replacement = u"'"_s;
        } else if (name.size() > 1 && name.front() == u'#') {
            bool ok = false;
            const uint code = name.size() > 2 && (name.at(1) == u'x' || name.at(1) == u'X')
                                  ? name.sliced(2).toUInt(&ok, 16)
                                  : name.sliced(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t character = code;
                replacement = QString::fromUcs4(&character, 1);
            }
        }
        if (replacement.isNull()) {
            result += u'&';
            pos = amp + 1;
        } else {
            result += replacement;
            pos = semicolon + 1;
        }
    }
    return result;
}

// The specified reading: after each <cid> the next <name> anywhere after it, then past
// the next <parent_cid>. Only right for replies that write the name before the parent.
QList<SellerCategory> scanCategories(const QString &reply)
{
    QList<SellerCategory> categories;
    Core::ForwardFinder cid(reply, u"<cid>"_s), cidEnd(reply, u"</cid>"_s);
    Core::ForwardFinder name(reply, u"<name>"_s), nameEnd(reply, u"</name>"_s);
    Core::ForwardFinder parent(reply, u"<parent_cid>"_s);
    qsizetype cursor = 0;
    for (qsizetype at = cid.from(cursor); at >= 0; at = cid.from(cursor)) {
        cursor = at + cid.size();
        const qsizetype idEnd = cidEnd.from(cursor);
        const QString id = idEnd >= 0 ? reply.mid(cursor, idEnd - cursor) : QString();
        QString categoryName;
        if (const qsizetype nameAt = name.from(cursor); nameAt >= 0) {
            cursor = nameAt + name.size();
            const qsizetype end = nameEnd.from(cursor);
            categoryName = end >= 0 ? reply.mid(cursor, end - cursor) : QString();
        }
        if (const qsizetype parentAt = parent.from(cursor); parentAt >= 0)
            cursor = parentAt + parent.size();
        categories.append({categoryName, Core::trimSpaces(id)});
    }
    return categories;
}

// Each <seller_cat> element on its own: it ends at its closing tag, or at the next
// element's opening tag when the closing one is missing.
QList<SellerCategory> readCategoryElements(const QString &reply)
{
    QList<SellerCategory> categories;
    Core::ForwardFinder open(reply, u"<seller_cat>"_s), close(reply, u"</seller_cat>"_s);
    Core::ForwardFinder cid(reply, u"<cid>"_s), cidEnd(reply, u"</cid>"_s);
    Core::ForwardFinder name(reply, u"<name>"_s), nameEnd(reply, u"</name>"_s);
    const auto inside = [&reply](Core::ForwardFinder &openTag, Core::ForwardFinder &closeTag, qsizetype start,
                                 qsizetype end) -> std::optional<QString> {
        const qsizetype at = openTag.from(start);
        if (at < 0 || at + openTag.size() > end)
            return std::nullopt;
        const qsizetype from = at + openTag.size();
        const qsizetype to = closeTag.from(from);
        if (to < 0 || to + closeTag.size() > end)
            return QString();
        return reply.mid(from, to - from);
    };
    qsizetype pos = 0;
    for (qsizetype at = open.from(pos); at >= 0; at = open.from(pos)) {
        const qsizetype start = at + open.size();
        qsizetype end = close.from(start);
        if (end < 0)
            end = reply.size();
        if (const qsizetype next = open.from(start); next >= 0 && next < end)
            end = next;
        pos = end;
        const std::optional<QString> id = inside(cid, cidEnd, start, end);
        if (!id)
            continue; // not a category the import could name
        const std::optional<QString> categoryName = inside(name, nameEnd, start, end);
        categories.append({categoryName ? decodeXmlEntities(*categoryName) : QString(),
                           Core::trimSpaces(decodeXmlEntities(*id))});
    }
    return categories;
}

} // namespace

QString readFirstItemId(const QString &reply)
{
    if (Core::isBlank(reply))
        return {};
    const QString id = ExtractItemFields(reply, u"num_iid"_s);
    return id == blankFieldResult() ? QString() : id;
}

QList<SellerCategory> readSellerCategories(const QString &reply)
{
    if (Core::isBlank(reply))
        return {};
    return reply.contains(u"<seller_cat>"_s) ? readCategoryElements(reply) : scanCategories(reply);
}

QString joinSellerCategories(const QList<SellerCategory> &categories)
{
    QString text;
    for (const SellerCategory &category : categories)
        text += category.name + u'#' + category.id + u'#';
    return text;
}

QString readSellerLocation(const QString &locationField)
{
    const QString decoded = Core::DecodeHtmlEntities(locationField);
    return Core::TextBetween(decoded, u"<state>"_s, u"</state>"_s) + u'/' +
           Core::TextBetween(decoded, u"<city>"_s, u"</city>"_s);
}

QString readPlatformError(const QString &reply)
{
    const QString error = Core::TextBetween(reply, u"<error_response>"_s, u"</error_response>"_s);
    if (error.isEmpty())
        return {};
    const auto element = [&error](const QString &name) {
        return Core::trimSpaces(Core::TextBetween(error, u'<' + name + u'>', u"</"_s + name + u'>'));
    };
    QString text = element(u"code"_s) + u' ' + element(u"msg"_s);
    if (const QString sub = element(u"sub_msg"_s); !sub.isEmpty())
        text += u": "_s + sub;
    return decodeXmlEntities(Core::trimSpaces(text));
}

OpenPlatformClient::OpenPlatformClient(Core::HttpClient &client, OpenPlatformParams params, Clock clock)
    : m_client(client), m_params(std::move(params)), m_clock(std::move(clock))
{
}

QString OpenPlatformClient::timestamp() const
{
    return openPlatformTimestamp(m_clock ? m_clock() : QDateTime::currentDateTime());
}

QString OpenPlatformClient::call(const QList<QueryParameter> &parameters)
{
    const SignedRequest request = signRequest(m_params, parameters);
    // The gateway itself must hold "http://": a nick that does must not make a secure or
    // empty gateway's address fetchable.
    const QString reply = Core::isFetchableAddress(m_params.gateway)
                              ? Core::HttpGetUtf8Text(m_client, request.address, 1)
                              : QString();
    QString method;
    for (const auto &[name, value] : parameters) {
        if (name == u"method"_s)
            method = value;
    }
    // "taobao.item.get" answers with <item_get_response>.
    const QString answer = u'<' + QString(method).remove(u"taobao."_s).replace(u'.', u'_') + u"_response>"_s;
    m_lastProblem.clear();
    m_lastProblemForUser.clear();
    if (!Core::isFetchableAddress(m_params.gateway)) {
        m_lastProblem = u"no open-platform gateway (slot 0 is \""_s + m_params.gateway + u"\")"_s;
        m_lastProblemForUser = u"读不到查询所需的参数（网络不通或服务器出错）"_s;
    } else if (reply.isEmpty()) {
        m_lastProblem = method + u": no answer from "_s + m_params.gateway;
        m_lastProblemForUser = u"连接不上淘宝开放平台（网络不通或服务器出错）"_s;
    } else if (const QString error = readPlatformError(reply); !error.isEmpty()) {
        m_lastProblem = method + u": "_s + error;
        m_lastProblemForUser = u"淘宝开放平台回答："_s + error;
    } else if (!reply.contains(answer)) {
        m_lastProblem = method + u": the answer is not the platform's"_s;
        m_lastProblemForUser = u"淘宝开放平台没有正常回答（服务器出错）"_s;
    }
    return reply;
}

QString OpenPlatformClient::TaobaoItemGet(const QString &numIid, const QString &fields)
{
    return ExtractItemFields(call(itemGetParameters(m_params, numIid, fields, timestamp())), fields);
}

QString OpenPlatformClient::TaobaoFirstItemOfSeller(const QString &nick)
{
    return readFirstItemId(call(firstItemOfSellerParameters(m_params, nick, timestamp())));
}

QString OpenPlatformClient::TaobaoSellerCategories(const QString &nick)
{
    return joinSellerCategories(sellerCategories(nick));
}

QList<SellerCategory> OpenPlatformClient::sellerCategories(const QString &nick)
{
    return readSellerCategories(call(sellerCategoriesParameters(m_params, nick, timestamp())));
}

} // namespace Market
