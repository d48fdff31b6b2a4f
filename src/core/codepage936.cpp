#include "codepage936.h"

#include <optional>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace Core::CodePage936 {

namespace {

// Piece by piece (one character, or a surrogate pair), so that only the characters the
// code page lacks become "?" and the rest of the text is kept. encodePiece gives nothing
// for a piece the code page can't hold.
template <typename PieceEncoder> QByteArray encodeByPieces(QStringView text, PieceEncoder encodePiece)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.unicode() < 0x80) {
            out.append(char(ch.unicode()));
            continue;
        }
        qsizetype length = 1;
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            length = 2;
        const std::optional<QByteArray> encoded = encodePiece(text.sliced(i, length));
        out.append(encoded ? *encoded : QByteArray("?"));
        i += length - 1;
    }
    return out;
}

#ifdef Q_OS_WIN

constexpr UINT CodePage = 936;

// Bytes that are whole characters by the rules above: the system tables read them.
void appendDecoded(QString &out, QByteArrayView run)
{
    if (run.isEmpty())
        return;
    const int inLength = int(run.size());
    const qsizetype at = out.size();
    out.resize(at + run.size()); // never more characters than bytes
    const int written = ::MultiByteToWideChar(CodePage, 0, run.data(), inLength,
                                              reinterpret_cast<wchar_t *>(out.data() + at), inLength);
    out.resize(at + qMax(written, 0));
}

QByteArray encodePiece(QStringView piece, bool *lacking)
{
    BOOL usedDefault = FALSE;
    const auto *wide = reinterpret_cast<const wchar_t *>(piece.utf16());
    const int length = int(piece.size());
    const int needed =
        ::WideCharToMultiByte(CodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", &usedDefault);
    QByteArray bytes(qMax(needed, 0), Qt::Uninitialized);
    usedDefault = FALSE;
    const int written = ::WideCharToMultiByte(CodePage, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(),
                                              int(bytes.size()), "?", &usedDefault);
    bytes.resize(qMax(written, 0));
    *lacking = usedDefault || written <= 0;
    return bytes;
}

bool isLead(uchar byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool isTrail(uchar byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
}

#endif

} // namespace

#ifdef Q_OS_WIN

QString decode(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    qsizetype runStart = 0;
    qsizetype i = 0;
    const qsizetype size = bytes.size();
    while (i < size) {
        const uchar byte = uchar(bytes[i]);
        if (!isLead(byte)) {
            ++i; // ASCII, 0x80 and 0xFF are characters of their own
            continue;
        }
        if (i + 1 < size && isTrail(uchar(bytes[i + 1]))) {
            i += 2;
            continue;
        }
        appendDecoded(out, bytes.sliced(runStart, i - runStart));
        if (i + 1 < size)
            out.append(QChar::ReplacementCharacter);
        ++i;
        runStart = i;
    }
    appendDecoded(out, bytes.sliced(runStart, i - runStart));
    return out;
}

QByteArray encode(QStringView text)
{
    bool lacking = false;
    QByteArray whole = encodePiece(text, &lacking);
    if (!lacking)
        return whole;
    return encodeByPieces(text, [](QStringView piece) -> std::optional<QByteArray> {
        bool pieceLacking = false;
        QByteArray encoded = encodePiece(piece, &pieceLacking);
        if (pieceLacking || piece.front().isSurrogate() || encoded.isEmpty())
            return std::nullopt;
        return encoded;
    });
}

#else

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

QByteArray encode(QStringView text)
{
    QStringEncoder encoder("GBK");
    // ICU's own substitute differs between builds: "?" is written instead.
    return encodeByPieces(text, [&encoder](QStringView piece) -> std::optional<QByteArray> {
        QByteArray encoded = encoder.encode(piece);
        if (encoder.hasError() || encoded.isEmpty() || encoded == "?" || encoded.contains('\x1a')) {
            // A converter keeps its error once set: the next character gets a fresh one.
            encoder = QStringEncoder("GBK");
            return std::nullopt;
        }
        return encoded;
    });
}

#endif

} // namespace Core::CodePage936
