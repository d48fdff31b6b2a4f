#pragma once

#include "core/config.h"
#include "core/httpclient.h"
#include "openplatform.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Market {

// The message for a refused nick.
QString sellerNickRefusedMessage();
// Longest nick the lookup accepts, counted after trimming and before spaces are removed.
constexpr int maxSellerNickLength = 38;
// The message when the nick box's text is refused (empty, still the initial text
// "输入掌柜名(淘宝ID)", longer than 38 characters), or the empty text when it is accepted.
QString checkSellerNick(const QString &text);
// The nick the lookup uses and writes back into the nick box: every space removed, then cleaned.
QString rewriteSellerNick(const QString &text);

// The first item id of a seller's listing page, cut with the markers of "f_1sp.htm"
// (slots 1 to 3); empty when the page is blank or the markers are not found.
QString firstItemOfListingPage(const QString &page, const QStringList &table);
// The first item of the seller's listing page, through the maker's "f_1sp.htm"; empty
// when the page or the item can't be found. The nick goes into the address unencoded.
QString FindFirstItemByPage(Core::HttpClient &client, const Core::Config &config, const QString &nick);

// What a lookup found, for the fields of the seller frame.
struct SellerLookupResult
{
    QString refusal;           // the message when the nick was refused; nothing else is set then
    QString nick;              // the rewritten nick, for the nick box
    QString itemId;            // the seller's first item, from the items call or the listing page
    bool itemFromPage = false; // the listing page gave the item
    QString postage;  // the postage-template field: the field result as returned (45 TABs when blank)
    QString location; // the location field: "state/city" ("/" when nothing came back)
    QList<SellerCategory> categories; // the category table, in reply order
    QStringList problems;             // calls that came back empty and why; for logs and the command line
    // For the user: why the lookup found nothing (the nick unknown to the platform, no connection,
    // the platform's own message), or that a call failed although something was found; empty
    // when every call answered and something was found.
    QString message;
    bool cancelled = false;

    bool refused() const { return !refusal.isEmpty(); }
    // What the window's postage and location fields show: empty where the call gave its
    // blank answer (the TABs, or "/").
    QString postageShown() const;
    QString locationShown() const;
    // An item id or a category came back.
    bool foundAnything() const;
};

// The two fields the category step writes.
struct SellerCategorySelection
{
    QString shopCategories; // "A,B," (the shop-category field)
    QString categoryIds;    // ",11,12," (the category-id field)
};
// The category step over the list rows that are selected (in list order, whatever
// order they are given in; rows outside the table are ignored).
SellerCategorySelection selectSellerCategories(const QList<SellerCategory> &categories,
                                               const QList<int> &selectedRows);

// The seller lookup of the "查 询" button, for a worker thread: the nick checks and
// rewriting, the first item (items call, then the listing page), its postage
// template, the shop categories and the item's location. It takes the main window's
// parameter slots (0 to 5 are the open platform's) as they stand when it starts.
class SellerLookupJob : public QObject
{
    Q_OBJECT

public:
    SellerLookupJob(Core::HttpClient &client, const Core::Config &config, QStringList parameterSlots,
                    QString nickText, QObject *parent = nullptr);

    // The local time of the requests' timestamps; the current time when not set.
    void setClock(OpenPlatformClient::Clock clock) { m_clock = std::move(clock); }

    // Blocks until the lookup is done; emits finished() with the same result.
    SellerLookupResult run();
    // From any thread: aborts the request in flight and skips the calls not yet made; the
    // result says cancelled.
    void cancel();

signals:
    // A call that came back empty, and why.
    void progress(const QString &text);
    void finished(const Market::SellerLookupResult &result);

private:
    bool stopHere(SellerLookupResult &result) const;
    void note(SellerLookupResult &result, const QString &problem);

    Core::CancelToken m_cancel;
    Core::HttpClient m_client; // carries m_cancel
    const Core::Config m_config;
    const QStringList m_slots;
    const QString m_nickText;
    OpenPlatformClient::Clock m_clock;
};

} // namespace Market
