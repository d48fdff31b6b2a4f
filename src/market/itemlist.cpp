#include "itemlist.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/text.h"
#include "itemservice.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Market {

QString makeItemEntry(const QString &itemCode, const QString &itemName)
{
    return u"网址ID:"_s + itemCode + u"："_s + itemName;
}

QString itemCodeFromEntry(const QString &entry)
{
    const qsizetype colon = entry.indexOf(u':');
    const qsizetype wide = entry.indexOf(u'：');
    if (colon < 0)
        return {};
    // An entry without its name separator still names its code.
    const qsizetype end = wide > colon ? wide : entry.size();
    return Core::trimSpaces(entry.mid(colon + 1, end - colon - 1));
}

bool isItemCode(const QString &code)
{
    if (code.isEmpty() || code.size() > 64)
        return false;
    return std::all_of(code.cbegin(), code.cend(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    });
}

QString itemCodeFromAddress(const QString &address)
{
    if (!address.contains(u"http://"_s))
        return u"0"_s;
    if (!address.contains(u"search"_s)) {
        const qsizetype com = address.indexOf(u"com/"_s);
        if (com < 0)
            return u"0"_s;
        const QString rest = address.mid(com + 4);
        const qsizetype hash = rest.indexOf(u'#');
        return hash < 0 ? rest : rest.left(hash);
    }
    const qsizetype slash = address.lastIndexOf(u'/');
    const qsizetype dash = address.lastIndexOf(u'-');
    if (dash > slash)
        return address.mid(slash + 1, dash - slash - 1);
    return {};
}

QString itemNameFromEntry(const QString &entry)
{
    const qsizetype nameAt = entry.indexOf(u'：');
    return nameAt >= 0 ? entry.mid(nameAt + 1) : QString();
}

void lookUpEntryNames(Core::HttpClient &client, const Core::Config &config, const QStringList &entries,
                      const std::function<void(const QString &entry)> &onEntry)
{
    constexpr qsizetype lookahead = 8;
    const auto needsLookup = [&entries](qsizetype i) {
        return itemNameFromEntry(entries.at(i)).isEmpty() && isItemCode(itemCodeFromEntry(entries.at(i)));
    };
    QList<QFuture<Core::HttpResult>> lookups(entries.size());
    qsizetype asked = 0;
    for (qsizetype i = 0; i < entries.size() && !client.isCancelled(); ++i) {
        for (; asked < entries.size() && asked < i + lookahead; ++asked) {
            if (needsLookup(asked)) {
                const QString address = itemServiceAddress(config, itemCodeFromEntry(entries.at(asked)));
                lookups[asked] = client.getAsync({address, Core::WaitMode::Long});
            }
        }
        if (!needsLookup(i)) {
            onEntry(entries.at(i));
            continue;
        }
        const Core::HttpResult result = lookups[i].result();
        lookups[i] = {};
        const ItemDocument document(result.completed ? Core::decodeAnsi(result.body) : QString());
        onEntry(makeItemEntry(itemCodeFromEntry(entries.at(i)),
                              Core::DecodeHtmlEntities(document.field(u"itemName"_s))));
    }
}

QString itemPageAddress(const Core::Config &config, const QString &itemCode)
{
    return Core::Config::address(config.itemPage, u"/"_s + itemCode);
}

QStringList readItemAddresses(const QString &text, int *dropped)
{
    QStringList addresses;
    QString field;
    bool quoted = false;
    int past = 0;
    auto takeField = [&] {
        // Blanks around a field are the separator's, as in "http://a, http://b".
        const QString trimmed = Core::trimSpaces(field);
        if (trimmed.left(7) == u"http://"_s) {
            if (addresses.size() < maxImportedAddresses)
                addresses.append(trimmed);
            else
                ++past;
        }
        field.clear();
    };
    for (qsizetype i = 0; i < text.size() && (dropped || addresses.size() < maxImportedAddresses); ++i) {
        const QChar c = text.at(i);
        if (c == u'"') {
            quoted = !quoted; // the quotes themselves are dropped
        } else if (!quoted && (c == u',' || c == u'\n' || c == u'\r')) {
            takeField();
        } else {
            field.append(c);
        }
    }
    if (dropped || addresses.size() < maxImportedAddresses)
        takeField();
    if (dropped)
        *dropped = past;
    return addresses;
}

QByteArray writeItemAddresses(const Core::Config &config, const QStringList &itemCodes)
{
    QByteArray bytes;
    for (const QString &code : itemCodes)
        bytes += Core::encodeAnsi(itemPageAddress(config, code)) + "\r\n";
    return bytes;
}

} // namespace Market

namespace Market {

QString decodeTextFile(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return Core::decodeAnsi(bytes);
}

QStringList readItemListFile(const QByteArray &bytes, int *dropped, int *ignoredLines)
{
    const QString text = decodeTextFile(bytes);
    QStringList entries;
    int past = 0;
    int otherLines = 0;          // not blank, not an entry
    int linesWithoutAddress = 0; // of those, the ones without an address field
    // Lines end in CR LF, LF or CR alike; the text is walked once, never copied whole.
    qsizetype begin = 0;
    while (begin <= text.size()) {
        qsizetype end = begin;
        while (end < text.size() && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        const QString line = text.mid(begin, end - begin);
        const QString trimmed = Core::trimSpaces(line);
        begin = end + 1;
        if (!trimmed.startsWith(u"网址ID:"_s)) {
            if (!line.trimmed().isEmpty()) {
                ++otherLines;
                if (ignoredLines && readItemAddresses(line).isEmpty())
                    ++linesWithoutAddress;
            }
            continue;
        }
        if (entries.size() < maxImportedAddresses)
            entries << trimmed;
        else
            ++past;
    }
    const bool entryFile = !entries.isEmpty();
    if (!entryFile) {
        for (const QString &address : readItemAddresses(text, &past))
            entries << makeItemEntry(Core::trimSpaces(itemCodeFromAddress(address)), QString());
    }
    if (dropped)
        *dropped = past;
    if (ignoredLines)
        *ignoredLines = entryFile ? otherLines : linesWithoutAddress;
    return entries;
}

ItemListFile loadItemListFile(const QString &path)
{
    ItemListFile list;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        list.error = u"无法读取列表文件 "_s + QDir::toNativeSeparators(path) + u"："_s + file.errorString();
        return list;
    }
    if (file.size() > maxListFileBytes) {
        list.error = u"列表文件太大（"_s + QString::number(file.size() / (1024 * 1024)) + u" MB），最多 "_s +
                     QString::number(maxListFileBytes / (1024 * 1024)) + u" MB："_s +
                     QDir::toNativeSeparators(path);
        return list;
    }
    list.entries = readItemListFile(file.readAll(), &list.dropped, &list.ignoredLines);
    return list;
}

QString droppedEntriesWarning(int dropped)
{
    if (dropped <= 0)
        return {};
    return u"列表超过"_s + QString::number(maxImportedAddresses) + u"个商品，只取前"_s +
           QString::number(maxImportedAddresses) + u"个，其余"_s + QString::number(dropped) + u"个未导入"_s;
}

} // namespace Market
