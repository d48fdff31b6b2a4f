#pragma once

#include <QByteArray>
#include <QString>

namespace Sandbox {

// The head of one HTTP/1.x request, in either form a client may send: absolute
// ("GET http://host/path HTTP/1.1", as to a proxy) or origin ("GET /path" + Host).
class HttpRequest
{
public:
    enum class ParseStatus { Incomplete, Complete, Malformed, TooLarge };

    // Nobody sends heads this large on purpose; beyond it the connection is refused.
    static constexpr qsizetype MaxHeadSize = 64 * 1024;

    // Parses the head at the start of buffer. On Complete, *consumed is the length of the
    // head (the body, if any, follows and is contentLength() bytes long).
    static ParseStatus parse(QByteArrayView buffer, HttpRequest *request, qsizetype *consumed);

    QByteArray method() const { return m_method; }
    bool isGet() const { return m_method == "GET"; }
    // Lower case, without port.
    QString host() const { return m_host; }
    // Percent-decoded path, always starting with '/'.
    QString path() const { return m_path; }
    // The raw query as sent, without '?'.
    QString query() const { return m_query; }
    // "host/path?query": what fault patterns are matched against.
    QString target() const;
    // The address as the client asked for it, "http://" + authority (port kept) + the raw
    // path and query: what a redirect back to the same place names.
    QString requestedUrl() const;
    QString hostAndPath() const { return m_host + m_path; }
    // First value of a query parameter, '+' read as space and percent-decoded.
    QString queryItem(QStringView name) const;

    bool isHttp10() const { return m_http10; }
    bool keepAlive() const { return m_keepAlive; }
    qint64 contentLength() const { return m_contentLength; }
    bool hasTransferEncoding() const { return m_transferEncoding; }

private:
    bool parseRequestLine(QByteArrayView line);
    bool parseHeader(QByteArrayView line);
    bool parseTarget(QByteArrayView target);
    static QString hostWithoutPort(QByteArrayView authority);

    QByteArray m_method;
    QString m_host;
    QString m_authority;
    QString m_path;
    QString m_rawPath;
    QString m_query;
    bool m_http10 = false;
    bool m_keepAlive = true;
    bool m_hostHeaderSeen = false;
    bool m_absoluteForm = false;
    bool m_transferEncoding = false;
    bool m_closeRequested = false;
    bool m_keepAliveRequested = false;
    qint64 m_contentLength = 0;
    bool m_contentLengthSeen = false;
};

} // namespace Sandbox
