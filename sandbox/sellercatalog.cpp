#include "sellercatalog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

bool SellerCatalog::load(const QString &sellersFile, QString *error)
{
    QFile file(sellersFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + sellersFile + u": "_s + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject() || !document.object().value(u"sellers").isArray()) {
        *error = sellersFile + u": expected {\"sellers\": [...]} ("_s + parseError.errorString() + u')';
        return false;
    }
    for (const QJsonValue &value : document.object().value(u"sellers").toArray()) {
        const QJsonObject entry = value.toObject();
        Seller seller;
        seller.nick = entry.value(u"nick").toString();
        const auto fail = [&](const QString &what) {
            *error =
                sellersFile + u": "_s + (seller.nick.isEmpty() ? u"seller"_s : seller.nick) + u": "_s + what;
            return false;
        };
        if (seller.nick.isEmpty() || m_byNick.contains(seller.nick))
            return fail(u"needs a nick of its own"_s);
        seller.listedByItemsCall = entry.value(u"listedByItemsCall").toBool(true);
        for (const QJsonValue &itemValue : entry.value(u"items").toArray()) {
            const QJsonObject object = itemValue.toObject();
            Item item;
            item.numIid = object.value(u"num_iid").toString();
            item.title = object.value(u"title").toString();
            item.price = object.value(u"price").toString();
            item.postageId = object.value(u"postage_id").toString();
            const QJsonObject location = object.value(u"location").toObject();
            if (location.contains(u"state"))
                item.state = location.value(u"state").toString();
            item.city = location.value(u"city").toString();
            if (item.numIid.isEmpty() || m_byItem.contains(item.numIid))
                return fail(u"every item needs a num_iid of its own"_s);
            m_byItem.insert(item.numIid, {m_sellers.size(), seller.items.size()});
            seller.items.append(item);
        }
        for (const QJsonValue &categoryValue : entry.value(u"categories").toArray()) {
            const QJsonObject object = categoryValue.toObject();
            seller.categories.append({object.value(u"cid").toString(),
                                      object.value(u"parent_cid").toString(u"0"_s),
                                      object.value(u"name").toString()});
        }
        m_byNick.insert(seller.nick, m_sellers.size());
        m_sellers.append(seller);
    }
    return true;
}

const SellerCatalog::Seller *SellerCatalog::seller(const QString &nick) const
{
    const auto it = m_byNick.constFind(nick);
    return it == m_byNick.constEnd() ? nullptr : &m_sellers.at(*it);
}

std::optional<std::pair<const SellerCatalog::Seller *, SellerCatalog::Item>>
SellerCatalog::item(const QString &numIid) const
{
    const auto it = m_byItem.constFind(numIid);
    if (it == m_byItem.constEnd())
        return std::nullopt;
    const Seller &owner = m_sellers.at(it->first);
    return std::make_pair(&owner, owner.items.at(it->second));
}

} // namespace Sandbox
