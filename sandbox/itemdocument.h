#pragma once

#include "shopitem.h"

#include <QByteArray>

namespace Sandbox {

// Writes what the item service and the item pages send, already in GBK.
class ItemDocument
{
public:
    static constexpr int UnknownItemError = 1002;
    static constexpr int MissingCodeError = 1001;

    static QByteArray render(const ShopItem &item);
    static QByteArray renderError(int errorCode, const QString &message);
    // The listing's web page on the item host.
    static QByteArray renderPage(const ShopItem &item);

    static QByteArray contentType() { return QByteArrayLiteral("text/xml; charset=GBK"); }
};

} // namespace Sandbox
