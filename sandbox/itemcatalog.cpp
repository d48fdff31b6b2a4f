#include "itemcatalog.h"

#include "gbkcodec.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

ItemCatalog::ItemCatalog(quint32 seed, int shopItems, bool sharedPictures)
    : m_shop(seed, shopItems, sharedPictures)
{
}

bool ItemCatalog::loadSamples(const QString &itemsFile, QString *error)
{
    return load(itemsFile, false, error);
}

bool ItemCatalog::loadHostile(const QString &itemsFile, QString *error)
{
    return load(itemsFile, true, error);
}

bool ItemCatalog::load(const QString &itemsFile, bool anyCode, QString *error)
{
    QFile file(itemsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + itemsFile + u": "_s + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject() || !document.object().value(u"items").isArray()) {
        *error = itemsFile + u": expected {\"items\": [...]} ("_s + parseError.errorString() + u')';
        return false;
    }
    for (const QJsonValue &value : document.object().value(u"items").toArray()) {
        const auto item = ShopItem::fromJson(value.toObject(), error, anyCode);
        if (!item) {
            *error = itemsFile + u": "_s + *error;
            return false;
        }
        bool encodable = false;
        GbkCodec::encode(QString(item->title() + item->description() + item->value(u"attr"_s)), &encodable);
        if (!encodable) {
            *error = itemsFile + u": item "_s + item->code() + u" has characters GBK cannot hold"_s;
            return false;
        }
        const bool itemCode = ShopItem::isItemCode(item->code());
        if (m_samples.contains(item->code()) || m_exactCodes.contains(item->code()) ||
            (!itemCode && find(item->code()))) {
            *error = itemsFile + u": item "_s + item->code() + u" appears twice"_s;
            return false;
        }
        (itemCode ? m_samples : m_exactCodes).insert(item->code(), *item);
    }
    return true;
}

void ItemCatalog::addShop(const GeneratedShop &shop)
{
    m_extraShops.append(shop);
}

std::optional<ShopItem> ItemCatalog::find(QStringView code) const
{
    const auto exact = m_exactCodes.constFind(code.trimmed().toString());
    if (exact != m_exactCodes.constEnd())
        return *exact;
    const QString normalised = code.trimmed().toString().toUpper();
    const auto sample = m_samples.constFind(normalised);
    if (sample != m_samples.constEnd())
        return *sample;
    const int index = m_shop.indexOf(normalised);
    if (index >= 0)
        return m_shop.itemAt(index);
    for (const GeneratedShop &shop : m_extraShops) {
        const int extraIndex = shop.indexOf(normalised);
        if (extraIndex >= 0)
            return shop.itemAt(extraIndex);
    }
    return std::nullopt;
}

bool ItemCatalog::isGenerated(QStringView code) const
{
    const QString normalised = code.trimmed().toString().toUpper();
    if (m_samples.contains(normalised))
        return false;
    if (m_shop.indexOf(normalised) >= 0)
        return true;
    return std::any_of(m_extraShops.cbegin(), m_extraShops.cend(),
                       [&normalised](const GeneratedShop &shop) { return shop.indexOf(normalised) >= 0; });
}

QString ItemCatalog::listLine(const QString &code, const QString &title)
{
    return u"网址ID:"_s + code + u"："_s + title + u"\r\n"_s;
}

bool ItemCatalog::writeList(const QString &file, const QString &sampleListFile, QString *error) const
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = u"cannot write "_s + file + u": "_s + out.errorString();
        return false;
    }
    if (m_shop.count() > 0) {
        // Written in slices so a large shop never sits in memory as one text.
        QString chunk;
        for (int i = 0; i < m_shop.count(); ++i) {
            chunk += listLine(m_shop.codeAt(i), m_shop.titleAt(i));
            if (chunk.size() > 64 * 1024 || i + 1 == m_shop.count()) {
                out.write(GbkCodec::encode(chunk));
                chunk.clear();
            }
        }
    } else {
        QFile sample(sampleListFile);
        if (!sample.open(QIODevice::ReadOnly)) {
            *error = u"cannot read "_s + sampleListFile + u": "_s + sample.errorString();
            return false;
        }
        const QString text = QString::fromUtf8(sample.readAll());
        // The repository keeps plain line ends; the shop export always had CR LF.
        QString list;
        for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (!line.isEmpty())
                list += line + u"\r\n"_s;
        }
        out.write(GbkCodec::encode(list));
    }
    if (!out.commit()) {
        *error = u"cannot write "_s + file + u": "_s + out.errorString();
        return false;
    }
    return true;
}

} // namespace Sandbox
