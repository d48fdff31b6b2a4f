#include "gbkcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Sandbox {

QByteArray GbkCodec::encode(QStringView text, bool *ok)
{
    QStringEncoder encoder("GBK");
    QByteArray bytes = encoder.encode(text);
    if (ok)
        *ok = encoder.isValid() && !encoder.hasError();
    return bytes;
}

QString GbkCodec::decode(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

} // namespace Sandbox
