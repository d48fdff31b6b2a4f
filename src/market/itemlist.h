#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace Core {
struct Config;
class HttpClient;
} // namespace Core

namespace Market {

// The most addresses one item address file gives, and the most entries one list gives.
constexpr int maxImportedAddresses = 10000;
// A list file above this is refused before it is read.
constexpr qint64 maxListFileBytes = 16 * 1024 * 1024;

// "网址ID:" + code + "：" + name.
QString makeItemEntry(const QString &itemCode, const QString &itemName);
// The text between the entry's first ":" and its first "：", trimmed.
QString itemCodeFromEntry(const QString &entry);
// True for what can be an item code: 1 to 64 ASCII letters and digits. Codes come from
// pages and files the program doesn't control; anything else ("../x", a query, a
// drive) is no item and never reaches a request or a file name.
bool isItemCode(const QString &code);
// The item code of a Paipai item address ("0" when there is none to take).
QString itemCodeFromAddress(const QString &address);
// The name part of an entry: the text after its first "："; empty when there is none.
QString itemNameFromEntry(const QString &entry);
// "http://" + item page host + "/" + code.
QString itemPageAddress(const Core::Config &config, const QString &itemCode);

// Reads an item address file (GBK): fields separated by commas or line ends, a
// quoted field losing its quotes and keeping its commas; fields beginning with
// "http://" are addresses; at most maxImportedAddresses of them, the addresses past
// that counted in dropped.
QStringList readItemAddresses(const QString &text, int *dropped = nullptr);

// A text file as the user may hand it in: UTF-8 when it says so (byte-order mark) or
// is valid UTF-8, otherwise the ANSI code page.
QString decodeTextFile(const QByteArray &bytes);

// The entries of a list file: lines that are item list entries are taken as they
// stand; otherwise the file is read as an item address file, each address becoming
// an entry without a name. At most maxImportedAddresses entries either way; the rest are
// counted in dropped. ignoredLines counts the lines, not blank, that gave nothing: in a
// file of entries every other line, in an address file the lines without an address.
QStringList readItemListFile(const QByteArray &bytes, int *dropped = nullptr, int *ignoredLines = nullptr);

struct ItemListFile
{
    QStringList entries;
    int dropped = 0;      // entries past the cap
    int ignoredLines = 0; // lines that gave no entry
    QString error;        // why the file was not read; empty when it was
};
// Reads a list file from disk with readItemListFile, refusing one that can't be opened
// or is larger than maxListFileBytes before reading it.
ItemListFile loadItemListFile(const QString &path);
// What a list cut to the cap says about it, or empty when nothing was dropped.
QString droppedEntriesWarning(int dropped);
// The entries of a list with their names: an entry without one (an imported address) gets
// its item's name from the item service (a few at a time), the others stand as they are;
// the entries are handed on in list order. A failed lookup, or a code that can't be an
// item code, leaves the name empty. Stops early when the client's token is cancelled.
void lookUpEntryNames(Core::HttpClient &client, const Core::Config &config, const QStringList &entries,
                      const std::function<void(const QString &entry)> &onEntry);

// The address file of a list of codes: GBK, one address per line, CR LF after each.
QByteArray writeItemAddresses(const Core::Config &config, const QStringList &itemCodes);

} // namespace Market
