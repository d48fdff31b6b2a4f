#include "gbkcodec.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace Sandbox {

#ifdef Q_OS_WIN

// The Windows Qt has no ICU: the system's code page 936 tables serve instead.
QByteArray GbkCodec::encode(QStringView text, bool *ok)
{
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    BOOL usedDefault = FALSE;
    const int needed =
        ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", nullptr);
    QByteArray bytes(qMax(needed, 0), Qt::Uninitialized);
    const int written = ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(),
                                              int(bytes.size()), "?", &usedDefault);
    bytes.resize(qMax(written, 0));
    if (ok)
        *ok = !usedDefault && (written > 0 || length == 0);
    return bytes;
}

QString GbkCodec::decode(QByteArrayView bytes)
{
    const int length = int(bytes.size());
    QString text(length, Qt::Uninitialized);
    const int written =
        ::MultiByteToWideChar(936, 0, bytes.data(), length, reinterpret_cast<wchar_t *>(text.data()), length);
    text.resize(qMax(written, 0));
    return text;
}

#else

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

#endif

} // namespace Sandbox
