#include "text.h"

#include "codepage936.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Core {

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

bool isBlank(const QString &text)
{
    return trimSpaces(text).isEmpty();
}

bool isNumeric(const QString &text)
{
    static const QRegularExpression pattern(uR"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"_s);
    return pattern.match(trimSpaces(text)).hasMatch();
}

bool isNumericWithin(const QString &text, double low, double high)
{
    if (!isNumeric(text))
        return false;
    const double value = trimSpaces(text).toDouble();
    return value >= low && value <= high;
}

QString DecodeHtmlEntities(const QString &text)
{
    QString result = text;
    // "&amp;" goes second, so an escaped ampersand before lt;, gt;, nbsp; or middot; is decoded twice.
    result.replace(u"&quot;"_s, u"\""_s);
    result.replace(u"&amp;"_s, u"&"_s);
    result.replace(u"&lt;"_s, u"<"_s);
    result.replace(u"&gt;"_s, u">"_s);
    result.replace(u"&nbsp;"_s, u" "_s);
    result.replace(u"&middot;"_s, u"."_s);
    return result;
}

namespace {

// One UTF-16 code unit as the bytes of its UTF-8 form; a surrogate is taken on its own.
void appendUtf8Unit(QByteArray &out, char16_t code)
{
    if (code < 128) {
        out.append(char(code));
    } else if (code < 2048) {
        out.append(char(0xC0 | (code >> 6)));
        out.append(char(0x80 | (code & 0x3F)));
    } else {
        out.append(char(0xE0 | (code >> 12)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
        out.append(char(0x80 | (code & 0x3F)));
    }
}

} // namespace

QString PercentEncodeUtf8(const QString &text)
{
    QString result;
    result.reserve(text.size() * 3);
    QByteArray bytes;
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code < 128) {
            result.append(ch);
            continue;
        }
        bytes.clear();
        appendUtf8Unit(bytes, code);
        for (const char b : std::as_const(bytes)) {
            result.append(u'%');
            result.append(QString::number(uchar(b), 16).toUpper());
        }
    }
    return result;
}

QByteArray DigestBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    for (const QChar ch : text) {
        if (ch == u'+')
            bytes.append(' ');
        else
            appendUtf8Unit(bytes, ch.unicode());
    }
    return bytes;
}

QString Md5Hex(const QString &text)
{
    const QByteArray digest = QCryptographicHash::hash(DigestBytes(text), QCryptographicHash::Md5);
    return QString::fromLatin1(digest.toHex().toUpper());
}

QString Md5HexLower(const QString &text)
{
    return Md5Hex(text).toLower();
}

QString DecodeCharset(const QByteArray &bytes, const char *charset)
{
    // The code page has one converter on every platform (the Windows Qt has no ICU).
    const QByteArrayView name(charset);
    if (name.compare("GBK", Qt::CaseInsensitive) == 0 || name.compare("CP936", Qt::CaseInsensitive) == 0)
        return CodePage936::decode(bytes);
    QStringDecoder decoder(charset);
    if (!decoder.isValid())
        return {};
    return decoder.decode(bytes);
}

QString decodeAnsi(const QByteArray &bytes)
{
    return CodePage936::decode(bytes);
}

QByteArray encodeAnsi(const QString &text)
{
    return CodePage936::encode(text);
}

QString CleanField(const QString &text)
{
    QString result = trimSpaces(text);
    if (result.isEmpty())
        return result;
    result.remove(u'\t');
    result.remove(u'\n');
    result.remove(u'\r');
    result.remove(u'"');
    result.remove(u'\'');
    return result;
}

QString CutAfterMarkers(const QString &text, const QString &marker1, const QString &marker2,
                        const QString &endMarker)
{
    QString rest = text;
    for (const QString *marker : {&marker1, &marker2}) {
        if (isBlank(*marker))
            continue;
        const qsizetype at = rest.indexOf(*marker);
        if (at < 0)
            return {};
        rest = rest.mid(at + marker->size());
    }
    if (isBlank(endMarker))
        return {};
    const qsizetype end = rest.indexOf(endMarker);
    if (end < 0)
        return {};
    return rest.left(end);
}

QString TextBetween(const QString &text, const QString &start, const QString &end)
{
    const qsizetype startAt = text.indexOf(start);
    const qsizetype endAt = text.indexOf(end);
    if (startAt < 0 || endAt < 0)
        return {};
    const qsizetype from = startAt + start.size();
    if (endAt < from)
        return {};
    return text.mid(from, endAt - from);
}

std::optional<QString> replacedWithin(const QString &text, const QString &before, const QString &after,
                                      qsizetype maxLength)
{
    if (before.isEmpty())
        return text.size() > maxLength ? std::nullopt : std::optional<QString>(text);
    // The size first, so that a result over the limit is never built.
    qsizetype count = 0;
    for (qsizetype at = text.indexOf(before); at >= 0; at = text.indexOf(before, at + before.size()))
        ++count;
    if (text.size() + count * (after.size() - before.size()) > maxLength)
        return std::nullopt;
    if (count == 0)
        return text;
    QString result;
    result.reserve(text.size() + count * (after.size() - before.size()));
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(before); at >= 0; at = text.indexOf(before, from)) {
        result += QStringView(text).sliced(from, at - from);
        result += after;
        from = at + before.size();
    }
    result += QStringView(text).sliced(from);
    return result;
}

qsizetype ForwardFinder::from(qsizetype pos)
{
    if (m_searched && pos >= m_searchedFrom && (m_next < 0 || m_next >= pos))
        return m_next;
    m_searched = true;
    m_searchedFrom = pos;
    m_next = m_text.indexOf(m_needle, pos);
    return m_next;
}

bool FileExists(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

QString FormatDateYmd(const QDate &date)
{
    return date.toString(u"yyyy-MM-dd"_s);
}

QString FormatTimeHms(const QTime &time)
{
    return time.toString(u"hh:mm:ss"_s);
}

QString removeControlCharacters(const QString &text)
{
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; };
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString result = text;
    result.removeIf(isControl);
    return result;
}

bool isPathInside(const QString &folder, const QString &path)
{
    const auto normalised = [](const QString &p) {
        QString slashes = p;
        slashes.replace(u'\\', u'/');
        // Cleaned before it is made absolute as well: Windows' Qt gives "/a/../b" a drive
        // and leaves "/b" without one, so the two would never compare.
        return QDir::cleanPath(QDir(QDir::cleanPath(slashes)).absolutePath());
    };
    if (folder.isEmpty() || path.isEmpty())
        return false;
    const QString base = normalised(folder);
    const QString inner = normalised(path);
    const QString prefix = base.endsWith(u'/') ? base : base + u'/';
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity fileSystem = Qt::CaseInsensitive; // "C:\Out" and "c:\out" are one folder
#else
    const Qt::CaseSensitivity fileSystem = Qt::CaseSensitive;
#endif
    return inner.size() > prefix.size() && inner.startsWith(prefix, fileSystem);
}

QString programFilePath(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + name;
    return folder + u'/' + name;
}

} // namespace Core
