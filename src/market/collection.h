#pragma once

#include "core/httpclient.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSemaphore;

namespace Core {
struct Config;
}

namespace Market {

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
    QString rest; // the address with the shop prefix removed
    QString shopNumber;
    int kind = 1; // 1: the Paipai shop host; 2: the second shop host
};
ShopAddress parseShopAddress(const Core::Config &config, const QString &address);

struct ListAddress
{
    ShopAddress shop;
    QString category; // empty when the address names none
    QString key;
};
ListAddress parseListAddress(const Core::Config &config, const QString &address);

// The item code of a single item's address (the mode "单件商品"): the address is cut at
// its last "?" first. Not checked: see isItemCode.
QString singleItemCode(const QString &address);

// The number of listing pages for a total item count (40 a page); 0 when not a number.
qint64 listingPageCount(const QString &countText);
// A walk reads at most this many pages (100,000 items); a page claiming more is not believed.
constexpr int maxListingPages = 2500;

// The item list entries of one listing page, cut with the collection markers.
QStringList listingEntries(const QString &page, const QStringList &markers, int kind);

// The time-based import file name: yyyyMMddhhmm + ".csv", zero-padded so that two times
// of one day (1:25 and 12:05) never give the same name.
QString timeBasedCsvName(const QDateTime &when);
// The same name made free in folder: one that names neither an import file nor a picture
// folder already there, so a second export of the same minute never replaces the first.
// "-2", "-3", ... goes before ".csv" when needed.
QString freeTimeBasedCsvName(const QString &folder, const QDateTime &when);

struct CollectOutcome
{
    QString address;       // the cleaned address, for the address box
    QString message;       // a message to show (address errors), empty when none
    QString openAddress;   // a page to open in the browser after the message
    QString warning;       // something the user should know about a run that did finish
    bool finished = false; // the run reached its end (the CSV path box gets a time-based name)
    QStringList entries;
    int rejectedEntries = 0; // links whose code can't be an item code, left out
    int failedPages = 0;     // listing pages that could not be read
    bool cancelled = false;  // stopped before its end; finished stays false
    // The warning, and what was left out or could not be read, for the user.
    QString warnings() const;
};

// The collection run of the "添加网址" button, for a worker thread.
//
// Once the first listing page has told the page count, the other pages are fetched
// several at once (twice the connection limit in flight, so the connections never wait
// for the walk and memory stays flat however many pages a shop has) and their entries
// are appended in page order, exactly as a page-by-page walk would.
class Collector
{
public:
    // Every request of the run carries the token: cancelling it, or cancel(), aborts
    // the requests in flight and ends the run.
    Collector(Core::HttpClient &client, const Core::Config &config,
              const Core::CancelToken &token = Core::CancelToken());

    // Each entry is reported as it is found; progress texts likewise.
    std::function<void(const QString &entry)> onEntry;
    std::function<void(const QString &text)> onProgress;

    // A cancelled token on the client handed in stops the run as cancel() does (seen within
    // a twentieth of a second while listing pages are in flight).
    CollectOutcome run(CollectMode mode, const QString &address);

    // From any thread.
    void cancel();

    // Listing pages asked for at once; 1 walks the pages strictly one after another.
    // 0 (the default) is twice the connection limit per host.
    void setPagesInFlight(int count);

    // The checks made before anything is fetched: the cleaned address, and the message
    // when it is refused (not "http://", an address of another marketplace).
    static CollectOutcome checkAddress(const Core::Config &config, CollectMode mode, const QString &address);

    // The address after redirects, empty when it can't be reached.
    QString resolveRedirects(const QString &address);

private:
    CollectOutcome collect(CollectMode mode, CollectOutcome outcome);
    void walkPages(const QString &pageTemplate, const QStringList &markers, int kind,
                   CollectOutcome &outcome);
    QString fetchPage(const QString &address);
    // The fallback of a blank page: the page again at its address after redirects.
    QString fetchPageAgain(const QString &address, const QString &text);
    Core::HttpResult fetch(const Core::HttpRequest &request);
    // Waits for a reply while watching every way of stopping; false when the run stops.
    bool await(const QFuture<Core::HttpResult> &reply, QSemaphore &arrived);
    bool stopRequested();
    void add(CollectOutcome &outcome, const QString &entry);

    Core::HttpClient m_caller; // the handle handed in: a token it carries stops the run too
    Core::CancelToken m_token;
    Core::HttpClient m_client; // the handle every request of the run goes through
    const Core::Config &m_config;
    int m_pagesInFlight = 0;
};

} // namespace Market
