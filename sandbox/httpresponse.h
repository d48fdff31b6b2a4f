#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <utility>

namespace Sandbox {

class HttpResponse
{
public:
    // How the answer reaches the client; anything but Normal is an injected fault.
    // Truncate closes after half the body, ResetBody resets the connection there instead,
    // and Stream sends streamLength() bytes: the body, then filler, written as the socket drains.
    enum class Delivery { Normal, Hang, Reset, Truncate, ResetBody, Stream };

    HttpResponse() = default;
    HttpResponse(int status, const QByteArray &contentType, const QByteArray &body);

    // A small ASCII page, as web servers send with their error codes.
    static HttpResponse htmlPage(int status, const QString &message = {});
    static HttpResponse json(const QJsonObject &object, int status = 200);

    int status() const { return m_status; }
    QByteArray contentType() const { return m_contentType; }
    const QByteArray &body() const { return m_body; }
    void setBody(const QByteArray &body) { m_body = body; }
    void addHeader(const QByteArray &name, const QByteArray &value);

    Delivery delivery() const { return m_delivery; }
    void setDelivery(Delivery delivery) { m_delivery = delivery; }
    qint64 streamLength() const { return m_streamLength; }
    // A streamed answer of length bytes: those of the body first (cut to length), then filler.
    void setStream(qint64 length);
    // Some answers (errors in the request itself) must end the connection.
    bool forcesClose() const { return m_forcesClose; }
    void setForcesClose(bool close) { m_forcesClose = close; }

    // Status line and headers. declaredLength overrides Content-Length so a truncated
    // answer can announce more than it sends.
    QByteArray head(bool keepAlive, qint64 declaredLength = -1) const;

    static QByteArray reasonPhrase(int status);

private:
    int m_status = 200;
    QByteArray m_contentType;
    QByteArray m_body;
    QList<std::pair<QByteArray, QByteArray>> m_headers;
    Delivery m_delivery = Delivery::Normal;
    qint64 m_streamLength = 0;
    bool m_forcesClose = false;
};

} // namespace Sandbox
