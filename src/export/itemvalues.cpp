#include "itemvalues.h"

#include "core/decimal.h"
#include "core/text.h"
#include "market/itemservice.h"

#include <QDir>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Export {

QString itemTitle(const QString &itemName)
{
    QString title = Core::CleanField(Core::DecodeHtmlEntities(itemName));
    title.remove(u'·');
    return title;
}

namespace {

// What a file system can't hold or would read as a path: separators, drive colons,
// wildcards, control characters, and dots at either end ("..", "." and Windows'
// trailing-dot trimming).
QString cleanedName(const QString &name)
{
    static const QString removed = u"\\/:|*<>$#&\" ?"_s;
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        if (!removed.contains(c) && c.unicode() >= 0x20 && c.unicode() != 0x7F)
            safe.append(c);
    }
    while (safe.startsWith(u'.'))
        safe.remove(0, 1);
    while (safe.endsWith(u'.'))
        safe.chop(1);
    return safe;
}

// Windows' device names, also with an extension ("CON.txt" opens the console too).
bool isReservedName(const QString &name)
{
    static const QStringList reserved = [] {
        QStringList names{u"CON"_s, u"PRN"_s, u"AUX"_s, u"NUL"_s};
        for (int i = 1; i <= 9; ++i)
            names << u"COM"_s + QString::number(i) << u"LPT"_s + QString::number(i);
        return names;
    }();
    return reserved.contains(name.section(u'.', 0, 0), Qt::CaseInsensitive);
}

} // namespace

QString itemFolderName(const QString &title, const QString &itemCode)
{
    QString name = title.left(58);
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1); // never keep half of a character
    const QString safe = cleanedName(name);
    if (!safe.isEmpty() && !isReservedName(safe))
        return safe;
    // The code stands in for the title; it comes from a list or a page just the same.
    const QString code = cleanedName(Core::trimSpaces(itemCode));
    if (code.isEmpty() || isReservedName(code))
        return {};
    return code;
}

QString cleanProvinceName(const QString &provinceName)
{
    QString name = provinceName;
    name.remove(u'\'');
    name.remove(u'省');
    return name;
}

QStringList mainPictureUrls(const Market::ItemDocument &document)
{
    QStringList kept;
    for (const QString &field : {u"picLink"_s, u"picLink1"_s, u"picLink2"_s, u"picLink3"_s, u"picLink4"_s}) {
        const QString url = Core::DecodeHtmlEntities(document.field(field));
        if (!Core::CleanField(url).isEmpty())
            kept << url;
    }
    if (kept.isEmpty())
        return {};
    return kept.join(u';').split(u';');
}

QString descriptionFileName(const QString &folderName)
{
    return u'{' + Core::Md5HexLower(folderName) + u"}.htm"_s;
}

QString stockFileName(const QString &itemCode)
{
    return u'{' + Core::Md5Hex(itemCode) + u"}.xml"_s;
}

QStringList paipaiValues(const Market::ItemDocument &document, const ValueInputs &in,
                         const Core::Adjustments &adjust)
{
    const auto clean = [&document](const QString &name) { return Core::CleanField(document.field(name)); };
    const auto fee = [&clean](const QString &name) { return Core::formatHundredths(clean(name)); };

    QStringList values;
    values.reserve(paipaiColumnCount);
    values << u"-1"_s << in.title << (document.field(u"stateDesc"_s).contains(u"一口价"_s) ? u"b"_s : u"0"_s)
           << clean(u"classId"_s) << clean(u"categoryId"_s) << adjust.adjustedQuantity(clean(u"stockCount"_s))
           << clean(u"weight"_s) << u"14"_s << QString() << u"1"_s
           << adjust.adjustedPrice(Core::formatHundredths(document.field(u"itemPrice"_s))) << QString()
           << in.provinceName << in.cityName << clean(u"sellerPayFreight"_s) << u"10"_s
           << fee(u"expressPrice"_s) << fee(u"emsPrice"_s) << QString() << u"0"_s << clean(u"invoiceItem"_s)
           << clean(u"guaranteeRepair"_s) << u"1"_s << u"1"_s << QString();
    for (int k = 0; k < 5; ++k) {
        if (k < in.pictureUrls.size())
            values << u'{' + Core::Md5HexLower(in.pictureUrls.at(k)) + u'}' +
                          in.pictureSuffixes.value(k, u"."_s);
        else
            values << QString();
    }
    values << in.descriptionFile << u"1"_s << u"0"_s << clean(u"attr"_s) << u"0"_s << u"0"_s << u"0"_s
           << in.stockFile << u"0"_s << clean(u"itemLocalCode"_s) << u"0"_s << u"拍拍助理2012 [82]"_s
           << u"0"_s << u"0"_s << u"0"_s;
    return values;
}

QString localPictureReference(OutputType type, const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (type != OutputType::Taobao5)
        return native;
    return native.startsWith(u'/') ? u"FILE://"_s + native : u"FILE:///"_s + native;
}

QString localizeDescription(QString description, QList<std::pair<QString, QString>> storedPictures,
                            OutputType type, const QStringList &linkMarkers)
{
    std::stable_sort(storedPictures.begin(), storedPictures.end(),
                     [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    for (const auto &[url, path] : std::as_const(storedPictures))
        description.replace(url, localPictureReference(type, path));
    for (const QString &marker : linkMarkers)
        description = stripLinks(description, marker);
    return description;
}

ItemContent composeItemContent(const Market::ItemDocument &document, const ValueInputs &inputs,
                               const QString &description, const Core::Adjustments &adjustments)
{
    ItemContent content;
    content.values = paipaiValues(document, inputs, adjustments);
    // Control characters from the page never reach the listing tool's file.
    for (QString &value : content.values)
        value = Core::removeControlCharacters(value);
    content.pictureUrls = inputs.pictureUrls;
    for (QString &url : content.pictureUrls)
        url = Core::removeControlCharacters(url);
    content.description = Core::removeControlCharacters(description);
    return content;
}

} // namespace Export
