#pragma once

#include "httpresponse.h"
#include "sellercatalog.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace Sandbox {

class HttpRequest;

// The open platform's gateway and the sellers' listing pages. Both addresses come from
// the maker pages the sandbox serves: the gateway from copy36.htm (slot 0, with the app
// secret and key of slots 1 and 2), the listing page from f_1sp.htm (slot 0). Every call
// is checked as strictly as the product must get it right: method, app key, format,
// version, a timestamp within ten minutes, parameters in ascending order of their names
// with "sign" last, and the MD5 signature over the sorted parameters.
class Gateway
{
public:
    // Answers more than this many seconds off the sandbox's clock are refused.
    static constexpr qint64 TimestampToleranceSeconds = 600;

    bool load(const QString &mainPageFile, const QString &firstItemPageFile, const QString &sellersFile,
              QString *error);

    // The gateway's and the listing page's paths; nullopt for any other path.
    std::optional<HttpResponse> route(const HttpRequest &request) const;

    // secret + name + value ... + secret over the parameters sorted by name, "sign" left
    // out; the MD5 of its UTF-8 bytes in upper-case hex. The product's check is its own.
    static QString signature(const QString &secret, QList<std::pair<QString, QString>> parameters);

private:
    HttpResponse call(const HttpRequest &request) const;
    HttpResponse itemGet(const QString &numIid, const QString &fields) const;
    HttpResponse itemsGet(const QString &nicks, const QString &fields) const;
    HttpResponse sellerCategories(const QString &nick) const;
    HttpResponse listingPage(const HttpRequest &request) const;

    SellerCatalog m_sellers;
    QString m_gatewayPath;
    QString m_listingPath;
    QString m_secret;
    QString m_appKey;
};

} // namespace Sandbox
