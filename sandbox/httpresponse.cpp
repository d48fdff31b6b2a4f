#include "httpresponse.h"

#include <QJsonDocument>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

HttpResponse::HttpResponse(int status, const QByteArray &contentType, const QByteArray &body)
    : m_status(status), m_contentType(contentType), m_body(body)
{
}

HttpResponse HttpResponse::htmlPage(int status, const QString &message)
{
    const QByteArray title = QByteArray::number(status) + ' ' + reasonPhrase(status);
    QByteArray body = "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>";
    if (!message.isEmpty())
        body += "<p>" + message.toHtmlEscaped().toUtf8() + "</p>";
    body += "<hr><address>quorvex-sandbox</address></body></html>\n";
    return HttpResponse(status, "text/html; charset=utf-8", body);
}

HttpResponse HttpResponse::json(const QJsonObject &object, int status)
{
    return HttpResponse(status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void HttpResponse::addHeader(const QByteArray &name, const QByteArray &value)
{
    m_headers.append({name, value});
}

void HttpResponse::setStream(qint64 length)
{
    m_delivery = Delivery::Stream;
    m_streamLength = length;
}

QByteArray HttpResponse::head(bool keepAlive, qint64 declaredLength) const
{
    // 1xx, 204 and 304 never carry a body, so announcing one would desynchronise the client.
    const bool bodyless = (m_status >= 100 && m_status < 200) || m_status == 204 || m_status == 304;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reasonPhrase(m_status) + "\r\n";
    head += "Server: quorvex-sandbox\r\n";
    if (!m_contentType.isEmpty() && !bodyless)
        head += "Content-Type: " + m_contentType + "\r\n";
    const qint64 length = declaredLength >= 0 ? declaredLength : m_body.size();
    head += "Content-Length: " + QByteArray::number(bodyless ? 0 : length) + "\r\n";
    for (const auto &[name, value] : m_headers)
        head += name + ": " + value + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    return head;
}

QByteArray HttpResponse::reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 410:
        return "Gone";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        break;
    }
    if (status >= 500)
        return "Server Error";
    if (status >= 400)
        return "Client Error";
    if (status >= 300)
        return "Redirection";
    if (status >= 200)
        return "Success";
    return "Informational";
}

} // namespace Sandbox
