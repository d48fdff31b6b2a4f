#pragma once

#include <QByteArray>
#include <QString>

namespace Sandbox {

// The marketplace's services answer in GBK while the data files are kept in UTF-8.
class GbkCodec
{
public:
    // ok is false when a character has no GBK form (it is then replaced).
    static QByteArray encode(QStringView text, bool *ok = nullptr);
    static QString decode(QByteArrayView bytes);
};

} // namespace Sandbox
