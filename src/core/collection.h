#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace Core {

class HttpClient;
struct Config;

enum class CollectMode { Single, Shop, List };

// "单件商品", "整个店铺", "商品列表"; anything else reads as the item-list mode.
QString collectModeText(CollectMode mode);
CollectMode collectModeFromText(const QString &text);
// The hint the address box shows when the mode is chosen.
QString collectModeHint(CollectMode mode);

// Spaces removed, then cleaned.
QString cleanCollectAddress(const QString &address);

struct ShopAddress
{
    QString rest;        // the address with the shop prefix removed
    QString shopNumber;
    int kind = 1;        // 1: the Paipai shop host; 2: the second shop host
};
ShopAddress parseShopAddress(const Config &config, const QString &address);

struct ListAddress
{
    ShopAddress shop;
    QString category;    // empty when the address names none
    QString key;
};
ListAddress parseListAddress(const Config &config, const QString &address);

// The number of listing pages for a total item count (40 a page); 0 when not a number.
qint64 listingPageCount(const QString &countText);
// A walk reads at most this many pages (100,000 items); a page claiming more is not believed.
constexpr int maxListingPages = 2500;

// The item list entries of one listing page, cut with the collection markers.
QStringList listingEntries(const QString &page, const QStringList &markers, int kind);

// The time-based import file name: yyyyMMddhhmm + ".csv", zero-padded so that two times
// of one day (1:25 and 12:05) never give the same name.
QString timeBasedCsvName(const QDateTime &when);

struct CollectOutcome
{
    QString address;      // the cleaned address, for the address box
    QString message;      // a message to show (address errors), empty when none
    QString openAddress;  // a page to open in the browser after the message
    QString warning;      // something the user should know about a run that did finish
    bool finished = false; // the run reached its end (the CSV path box gets a time-based name)
    QStringList entries;
    int rejectedEntries = 0;  // links whose code can't be an item code, left out
    int failedPages = 0;      // listing pages that could not be read
    // The warning, and what was left out or could not be read, for the user.
    QString warnings() const;
};

// The collection run of the "添加网址" button, for a worker thread.
class Collector
{
public:
    Collector(HttpClient &client, const Config &config);

    // Each entry is reported as it is found; progress texts likewise.
    std::function<void(const QString &entry)> onEntry;
    std::function<void(const QString &text)> onProgress;

    CollectOutcome run(CollectMode mode, const QString &address, const std::atomic_bool *cancelled = nullptr);

    // The checks made before anything is fetched: the cleaned address, and the message
    // when it is refused (not "http://", an address of another marketplace).
    static CollectOutcome checkAddress(const Config &config, CollectMode mode, const QString &address);

    // The address after redirects, empty when it can't be reached.
    QString resolveRedirects(const QString &address);

private:
    void walkPages(const QString &pageTemplate, const QStringList &markers, int kind, CollectOutcome &outcome,
                   const std::atomic_bool *cancelled);
    QString fetchPage(const QString &address);
    void add(CollectOutcome &outcome, const QString &entry);

    HttpClient &m_client;
    const Config &m_config;
};

} // namespace Core
