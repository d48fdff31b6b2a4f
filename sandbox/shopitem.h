#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace Sandbox {

// One listing as the item service knows it. Values are kept as text because the
// service returns text, including the odd non-numeric price.
class ShopItem
{
public:
    using Pairs = QList<std::pair<QString, QString>>;

    static constexpr int MaxPictures = 5;

    // The plain elements of an item document, in the order the service writes them
    // before detailInfo and the picture links.
    static const QStringList &leadingElements();

    // With anyCode the code may be any visible ASCII text (the hostile items' codes that
    // look like paths); otherwise it has to be a real item code.
    static std::optional<ShopItem> fromJson(const QJsonObject &object, QString *error, bool anyCode = false);
    static bool isItemCode(QStringView code);

    QString code() const { return m_code; }
    void setCode(const QString &code) { m_code = code; }
    QString title() const { return value(QStringLiteral("itemName")); }
    QString value(const QString &element) const { return m_values.value(element); }
    void setValue(const QString &element, const QString &text) { m_values.insert(element, text); }
    QString description() const { return m_description; }
    void setDescription(const QString &html) { m_description = html; }
    // picLink, picLink1, ... in order; an empty entry is written as an empty element.
    QStringList pictures() const { return m_pictures; }
    void setPictures(const QStringList &urls) { m_pictures = urls; }
    // Elements after the fixed ones, and the children of <extendInfo>.
    Pairs extras() const { return m_extras; }
    void addExtra(const QString &element, const QString &text) { m_extras.append({element, text}); }
    Pairs extendInfo() const { return m_extendInfo; }
    void addExtendInfo(const QString &element, const QString &text) { m_extendInfo.append({element, text}); }
    // What a sample item is there to exercise (for people reading the data).
    QString note() const { return m_note; }

private:
    QString m_code;
    QHash<QString, QString> m_values;
    QString m_description;
    QStringList m_pictures;
    Pairs m_extras;
    Pairs m_extendInfo;
    QString m_note;
};

} // namespace Sandbox
