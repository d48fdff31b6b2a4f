#include "shopitem.h"

#include <QJsonArray>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

// Numbers are accepted in the data files for convenience; the document shows them as text anyway.
std::optional<QString> textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 15);
    if (value.isUndefined() || value.isNull())
        return QString();
    return std::nullopt;
}

bool readPairs(const QJsonValue &value, ShopItem::Pairs *pairs)
{
    if (value.isUndefined())
        return true;
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto text = textOf(it.value());
        if (!text)
            return false;
        pairs->append({it.key(), *text});
    }
    return true;
}

} // namespace

const QStringList &ShopItem::leadingElements()
{
    static const QStringList elements = {
        u"itemName"_s,    u"stateDesc"_s,       u"classId"_s,          u"categoryId"_s,   u"stockCount"_s,
        u"weight"_s,      u"itemPrice"_s,       u"sellerPayFreight"_s, u"expressPrice"_s, u"emsPrice"_s,
        u"invoiceItem"_s, u"guaranteeRepair"_s, u"itemLocalCode"_s,    u"attr"_s,
    };
    return elements;
}

bool ShopItem::isItemCode(QStringView code)
{
    if (code.size() != 32)
        return false;
    for (QChar c : code) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return false;
    }
    return true;
}

std::optional<ShopItem> ShopItem::fromJson(const QJsonObject &object, QString *error, bool anyCode)
{
    ShopItem item;
    item.m_code = object.value(u"itemCode").toString();
    if (anyCode) {
        // Codes travel in addresses, and lookups trim them: visible ASCII only.
        const bool visible = std::all_of(item.m_code.cbegin(), item.m_code.cend(),
                                         [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
        if (item.m_code.isEmpty() || !visible) {
            *error = u"item code \""_s + item.m_code + u"\" must be visible ASCII characters"_s;
            return std::nullopt;
        }
    } else if (!isItemCode(item.m_code)) {
        *error = u"item code \""_s + item.m_code + u"\" is not 32 upper-case hex digits"_s;
        return std::nullopt;
    }
    const auto fail = [&](const QString &what) {
        *error = item.m_code + u": "_s + what;
        return std::nullopt;
    };

    QStringList valueElements = leadingElements();
    valueElements << u"provinceId"_s << u"cityId"_s;
    for (const QString &element : std::as_const(valueElements)) {
        const auto text = textOf(object.value(element));
        if (!text)
            return fail(element + u" must be text or a number"_s);
        item.m_values.insert(element, *text);
    }
    if (item.title().isEmpty())
        return fail(u"itemName is missing"_s);

    const QJsonValue description = object.value(u"detailInfo");
    if (!description.isUndefined() && !description.isString())
        return fail(u"detailInfo must be text"_s);
    item.m_description = description.toString();

    const QJsonValue pictures = object.value(u"pictures");
    if (!pictures.isUndefined() && !pictures.isArray())
        return fail(u"pictures must be a list"_s);
    for (const QJsonValue &url : pictures.toArray()) {
        if (!url.isString())
            return fail(u"pictures must be a list of text"_s);
        item.m_pictures.append(url.toString());
    }
    if (item.m_pictures.size() > MaxPictures)
        return fail(u"at most 5 pictures"_s);

    if (!readPairs(object.value(u"extra"), &item.m_extras))
        return fail(u"extra must be an object of texts"_s);
    if (!readPairs(object.value(u"extendInfo"), &item.m_extendInfo))
        return fail(u"extendInfo must be an object of texts"_s);
    item.m_note = object.value(u"exercises").toString();
    return item;
}

} // namespace Sandbox
