#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace Core {
class HttpClient;
}

namespace Market {

// The six open-platform values of the main parameter page (slots 0 to 5). The
// program ships no key or secret of its own: whatever the page published is used.
struct OpenPlatformParams
{
    QString gateway;    // slot 0: everything before the "?" of a request
    QString secret;     // slot 1: first and last part of the signing text; never sent
    QString appKey;     // slot 2
    QString signMethod; // slot 3; the signature is MD5 whatever it says
    QString version;    // slot 4
    QString format;     // slot 5; replies are read by tag, so it must name XML

    static OpenPlatformParams fromSlots(const QStringList &table);
};

// One parameter of a call: name and raw value.
using QueryParameter = std::pair<QString, QString>;

// The parameters of each call, in the order in which they are signed and sent
// (ascending by name). timestamp is the text of openPlatformTimestamp().
QList<QueryParameter> itemGetParameters(const OpenPlatformParams &params, const QString &numIid,
                                        const QString &fields, const QString &timestamp);
QList<QueryParameter> firstItemOfSellerParameters(const OpenPlatformParams &params, const QString &nick,
                                                  const QString &timestamp);
QList<QueryParameter> sellerCategoriesParameters(const OpenPlatformParams &params, const QString &nick,
                                                 const QString &timestamp);

struct SignedRequest
{
    QString signingText; // secret, every name followed by its raw value, secret
    QString signature;   // Md5Hex of the signing text
    QString query;       // raw values, except the nick, which goes percent-encoded
    QString address;     // gateway + "?" + query
};
SignedRequest signRequest(const OpenPlatformParams &params, const QList<QueryParameter> &parameters);

// "yyyy-mm-dd hh:mm:ss", local time; the same text is signed and sent.
QString openPlatformTimestamp(const QDateTime &when);

struct SellerCategory
{
    QString name;
    QString id;

    friend bool operator==(const SellerCategory &, const SellerCategory &) = default;
};

// The id of the first item of a taobao.items.get reply, trimmed; empty when there is none.
QString readFirstItemId(const QString &reply);
// The categories of a taobao.sellercats.list.get reply, in reply order. A reply with
// <seller_cat> elements is read element by element (id and name from inside each
// element, XML entities decoded), since the platform writes <cid>, <parent_cid>,
// <name> in that order; any other reply is read by the cid/name/parent_cid scan.
QList<SellerCategory> readSellerCategories(const QString &reply);
// name + "#" + id + "#" for each category.
QString joinSellerCategories(const QList<SellerCategory> &categories);
// "state/city" from the location field of an item reply, entities decoded first.
QString readSellerLocation(const QString &locationField);
// The platform's own error of an error_response ("code msg: sub_msg"), empty for any other reply.
QString readPlatformError(const QString &reply);

// The three calls of the seller lookup. Each request takes its own timestamp just
// before it is signed, is fetched in the long-wait mode and decoded as UTF-8. A call
// that gets no answer, or an error of the platform, gives the empty result of its kind.
// Blocking: for worker threads.
class OpenPlatformClient
{
public:
    using Clock = std::function<QDateTime()>;

    // clock gives the local time of the timestamps; the current time when empty.
    OpenPlatformClient(Core::HttpClient &client, OpenPlatformParams params, Clock clock = {});

    // The field result of the item's elements (45 TABs when blank).
    QString TaobaoItemGet(const QString &numIid, const QString &fields);
    // The id of the seller's first item, or the empty text.
    QString TaobaoFirstItemOfSeller(const QString &nick);
    // name#id# per shop category, or the empty text.
    QString TaobaoSellerCategories(const QString &nick);
    // The same categories as rows: a name that holds "#" can't shift the rows after it.
    QList<SellerCategory> sellerCategories(const QString &nick);

    // Why the last call came back empty: no answer, or the platform's error text.
    // Empty when it answered normally.
    QString lastProblem() const { return m_lastProblem; }
    // The same, in the user's words; empty when it answered normally.
    QString lastProblemForUser() const { return m_lastProblemForUser; }

private:
    QString call(const QList<QueryParameter> &parameters);
    QString timestamp() const;

    Core::HttpClient &m_client;
    OpenPlatformParams m_params;
    Clock m_clock;
    QString m_lastProblem;
    QString m_lastProblemForUser;
};

} // namespace Market
