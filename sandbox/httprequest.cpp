#include "httprequest.h"

#include <QList>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").indexOf(c) >= 0;
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Request targets are plain visible ASCII; anything else means the client is confused.
bool isVisibleAscii(QByteArrayView text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F)
            return false;
    }
    return true;
}

bool hasControlChars(QByteArrayView text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F)
            return true;
    }
    return false;
}

bool hasToken(QByteArrayView list, QByteArrayView token)
{
    for (const QByteArray &item : list.toByteArray().split(',')) {
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString decodeComponent(QByteArrayView text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toByteArray()));
}

} // namespace

HttpRequest::ParseStatus HttpRequest::parse(QByteArrayView buffer, HttpRequest *request, qsizetype *consumed)
{
    // Tolerate the empty lines some clients leave between requests, as the RFC asks.
    qsizetype start = 0;
    while (start < buffer.size() && (buffer[start] == '\r' || buffer[start] == '\n'))
        ++start;

    QList<QByteArrayView> lines;
    qsizetype pos = start;
    qsizetype headEnd = -1;
    while (true) {
        const qsizetype newline = buffer.indexOf('\n', pos);
        if (newline < 0 || newline >= MaxHeadSize)
            break;
        QByteArrayView line = buffer.sliced(pos, newline - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        pos = newline + 1;
        if (line.isEmpty()) {
            headEnd = pos;
            break;
        }
        lines.append(line);
    }
    if (headEnd < 0)
        return buffer.size() >= MaxHeadSize ? ParseStatus::TooLarge : ParseStatus::Incomplete;

    *consumed = headEnd;
    HttpRequest parsed;
    if (!parsed.parseRequestLine(lines.first()))
        return ParseStatus::Malformed;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!parsed.parseHeader(lines.at(i)))
            return ParseStatus::Malformed;
    }
    // HTTP/1.1 requires Host; a proxy-style request names its host in the target instead.
    if (!parsed.m_http10 && !parsed.m_hostHeaderSeen && !parsed.m_absoluteForm)
        return ParseStatus::Malformed;
    if (parsed.m_host.isEmpty())
        parsed.m_host = u"127.0.0.1"_s;
    if (parsed.m_closeRequested)
        parsed.m_keepAlive = false;
    else
        parsed.m_keepAlive = !parsed.m_http10 || parsed.m_keepAliveRequested;
    *request = std::move(parsed);
    return ParseStatus::Complete;
}

bool HttpRequest::parseRequestLine(QByteArrayView line)
{
    const qsizetype firstSpace = line.indexOf(' ');
    const qsizetype lastSpace = line.lastIndexOf(' ');
    if (firstSpace <= 0 || lastSpace <= firstSpace + 1)
        return false;
    const QByteArrayView method = line.first(firstSpace);
    const QByteArrayView target = line.sliced(firstSpace + 1, lastSpace - firstSpace - 1);
    const QByteArrayView version = line.sliced(lastSpace + 1);
    if (!isToken(method) || !isVisibleAscii(target))
        return false;
    if (version == "HTTP/1.1")
        m_http10 = false;
    else if (version == "HTTP/1.0")
        m_http10 = true;
    else
        return false;
    m_method = method.toByteArray();
    if (parseTarget(target))
        return true;
    // Other methods get 405 whatever they aim at ("*", "host:443"), so only GET needs a usable target.
    if (m_method == "GET")
        return false;
    m_path = u"/"_s;
    return true;
}

bool HttpRequest::parseTarget(QByteArrayView target)
{
    QByteArrayView rest = target;
    if (rest.startsWith('/')) {
        m_absoluteForm = false;
    } else if (rest.size() > 7 && rest.first(7).toByteArray().toLower() == "http://") {
        m_absoluteForm = true;
        rest = rest.sliced(7);
        qsizetype authorityEnd = 0;
        while (authorityEnd < rest.size() && rest[authorityEnd] != '/' && rest[authorityEnd] != '?' &&
               rest[authorityEnd] != '#')
            ++authorityEnd;
        QByteArrayView authority = rest.first(authorityEnd);
        const qsizetype at = authority.lastIndexOf('@');
        if (at >= 0)
            authority = authority.sliced(at + 1);
        m_host = hostWithoutPort(authority);
        if (m_host.isEmpty())
            return false;
        m_authority = QString::fromLatin1(authority);
        rest = rest.sliced(authorityEnd);
    } else {
        return false;
    }

    const qsizetype hash = rest.indexOf('#');
    if (hash >= 0)
        rest.truncate(hash);
    const qsizetype question = rest.indexOf('?');
    QByteArrayView rawPath = question >= 0 ? rest.first(question) : rest;
    if (question >= 0)
        m_query = QString::fromLatin1(rest.sliced(question + 1));
    m_rawPath = rawPath.isEmpty() ? u"/"_s : QString::fromLatin1(rawPath);
    m_path = rawPath.isEmpty() ? u"/"_s : decodeComponent(rawPath);
    return m_path.startsWith(u'/');
}

bool HttpRequest::parseHeader(QByteArrayView line)
{
    // A leading blank would be the obsolete line folding, which nobody needs any more.
    if (line.startsWith(' ') || line.startsWith('\t'))
        return false;
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    const QByteArrayView name = line.first(colon);
    const QByteArrayView value = line.sliced(colon + 1).trimmed();
    if (!isToken(name) || hasControlChars(value))
        return false;

    const QByteArray lowerName = name.toByteArray().toLower();
    if (lowerName == "host") {
        if (m_hostHeaderSeen)
            return false;
        m_hostHeaderSeen = true;
        if (!m_absoluteForm) {
            m_host = hostWithoutPort(value);
            m_authority = QString::fromLatin1(value);
            if (m_host.isEmpty() && !m_http10)
                return false;
        }
    } else if (lowerName == "connection" || lowerName == "proxy-connection") {
        if (hasToken(value, "close"))
            m_closeRequested = true;
        if (hasToken(value, "keep-alive"))
            m_keepAliveRequested = true;
    } else if (lowerName == "content-length") {
        bool ok = false;
        const qint64 length = value.toLongLong(&ok);
        if (!ok || length < 0 || value.startsWith('+') || (m_contentLengthSeen && length != m_contentLength))
            return false;
        m_contentLength = length;
        m_contentLengthSeen = true;
    } else if (lowerName == "transfer-encoding") {
        m_transferEncoding = true;
    }
    return true;
}

QString HttpRequest::hostWithoutPort(QByteArrayView authority)
{
    QByteArrayView host = authority;
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf(']');
        if (close < 0)
            return {};
        host = host.first(close + 1);
    } else {
        const qsizetype colon = host.indexOf(':');
        if (colon >= 0)
            host = host.first(colon);
    }
    if (!isVisibleAscii(host))
        return {};
    return QString::fromLatin1(host).toLower();
}

QString HttpRequest::target() const
{
    if (m_query.isEmpty())
        return m_host + m_path;
    return m_host + m_path + u'?' + m_query;
}

QString HttpRequest::requestedUrl() const
{
    const QString authority = m_authority.isEmpty() ? m_host : m_authority;
    return u"http://"_s + authority + m_rawPath + (m_query.isEmpty() ? QString() : u'?' + m_query);
}

QString HttpRequest::queryItem(QStringView name) const
{
    for (QStringView pair : QStringView(m_query).split(u'&')) {
        const qsizetype equals = pair.indexOf(u'=');
        const QStringView key = equals >= 0 ? pair.first(equals) : pair;
        if (decodeComponent(key.toLatin1()) != name)
            continue;
        if (equals < 0)
            return {};
        QByteArray value = pair.sliced(equals + 1).toLatin1();
        value.replace('+', ' ');
        return decodeComponent(value);
    }
    return {};
}

} // namespace Sandbox
