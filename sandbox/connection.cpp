#include "connection.h"

#include "httprequest.h"
#include "server.h"

#include <QTcpSocket>
#include <QTimer>

#include <QDeadlineTimer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif
#ifdef Q_OS_WIN
#include <winsock2.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

// Requests queued up behind a slow answer; a client sending more than this is broken.
constexpr qsizetype MaxBufferedInput = 8 * 1024 * 1024;
// How long a refused client gets to finish sending before the connection is dropped.
constexpr int LingerMs = 2000;
// How long a reset waits for the part of the body it lets through to leave.
constexpr int ResetDrainMs = 10'000;
// Where the kernel cannot say what it still holds, the reset waits this long instead.
constexpr int ResetGraceMs = 200;
// A streamed answer goes out in chunks of this size while less than StreamBacklog waits in
// the socket's own buffer; the kernel's send buffer holds a few megabytes more at most.
constexpr qint64 StreamChunk = 64 * 1024;
constexpr qint64 StreamBacklog = 256 * 1024;

// Bytes the kernel still holds for the peer, sent or not yet acknowledged; -1 when unknown.
qint64 unsentBytes(qintptr descriptor)
{
#ifdef Q_OS_LINUX
    int pending = 0;
    if (descriptor >= 0 && ::ioctl(int(descriptor), SIOCOUTQ, &pending) == 0)
        return pending;
#else
    Q_UNUSED(descriptor);
#endif
    return -1;
}

} // namespace

Connection::Connection(QTcpSocket *socket, Server *server)
    : QObject(server), m_socket(socket), m_server(server)
{
    m_socket->setParent(this);
    // Head and body go out as two writes: without this, Nagle's rule holds the body back
    // until the client's delayed acknowledgement, adding tens of milliseconds to every answer.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &Connection::readIncoming);
    connect(m_socket, &QTcpSocket::disconnected, this, &Connection::closed);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::continueStream);
    if (m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &Connection::readIncoming);
}

void Connection::readIncoming()
{
    const QByteArray data = m_socket->readAll();
    if (m_stopped || m_closed)
        return;
    m_buffer += data;
    if (m_buffer.size() > MaxBufferedInput) {
        m_stopped = true;
        m_socket->abort();
        closed();
        return;
    }
    processBuffer();
}

void Connection::processBuffer()
{
    while (!m_waiting && !m_stopped) {
        if (m_bodyToSkip > 0) {
            const qsizetype skip = qsizetype(std::min<qint64>(m_bodyToSkip, m_buffer.size()));
            m_buffer.remove(0, skip);
            m_bodyToSkip -= skip;
            if (m_bodyToSkip > 0)
                return;
        }
        if (m_buffer.isEmpty())
            return;

        HttpRequest request;
        qsizetype consumed = 0;
        switch (HttpRequest::parse(m_buffer, &request, &consumed)) {
        case HttpRequest::ParseStatus::Incomplete:
            return;
        case HttpRequest::ParseStatus::TooLarge:
            refuse(431);
            return;
        case HttpRequest::ParseStatus::Malformed:
            refuse(400);
            return;
        case HttpRequest::ParseStatus::Complete:
            break;
        }
        m_buffer.remove(0, consumed);

        if (!request.isGet()) {
            // Nothing here takes uploads, so there is no point reading a body to stay in step.
            HttpResponse response = HttpResponse::htmlPage(405);
            response.addHeader("Allow", "GET");
            m_server->log(QString::fromLatin1(request.method()) + u' ' + request.target(), response);
            answerAndLinger(response);
            return;
        }
        if (request.hasTransferEncoding()) {
            refuse(400);
            return;
        }
        m_bodyToSkip = request.contentLength();

        int delayMs = 0;
        const HttpResponse response = m_server->respond(request, this, &delayMs);
        const bool keepAlive = request.keepAlive() && !response.forcesClose();
        if (delayMs > 0) {
            // Held back by a timer, never by blocking, so other connections go on meanwhile.
            m_waiting = true;
            QTimer::singleShot(delayMs, this, [this, response, keepAlive] {
                m_waiting = false;
                deliver(response, keepAlive);
                processBuffer();
            });
            return;
        }
        deliver(response, keepAlive);
    }
}

void Connection::refuse(int status)
{
    const HttpResponse response = HttpResponse::htmlPage(status);
    m_server->log(u"- (bad request)"_s, response);
    answerAndLinger(response);
}

void Connection::answerAndLinger(const HttpResponse &response)
{
    // The client may still be sending the rest of what we refused. Closing outright with
    // unread input makes the kernel send RST, which can destroy the answer on its way;
    // so only our sending side is shut and the input is drained until the client closes.
    m_stopped = true;
    m_socket->write(response.head(false));
    m_socket->write(response.body());
#if defined(Q_OS_UNIX) || defined(Q_OS_WIN)
    m_socket->flush();
    if (m_socket->bytesToWrite() == 0 && m_socket->socketDescriptor() >= 0) {
#ifdef Q_OS_WIN
        ::shutdown(SOCKET(m_socket->socketDescriptor()), SD_SEND);
#else
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
#endif
        QTimer::singleShot(LingerMs, this, [this] {
            if (!m_closed) {
                m_socket->abort();
                closed();
            }
        });
        return;
    }
#endif
    m_socket->disconnectFromHost();
}

void Connection::deliver(const HttpResponse &response, bool keepAlive)
{
    if (m_closed)
        return;
    switch (response.delivery()) {
    case HttpResponse::Delivery::Hang:
        // The request stays unanswered until the client gives up.
        m_stopped = true;
        return;
    case HttpResponse::Delivery::Reset:
        m_stopped = true;
        resetConnection();
        return;
    case HttpResponse::Delivery::Truncate: {
        const QByteArray &body = response.body();
        m_socket->write(response.head(false, body.size()));
        m_socket->write(body.first(body.size() / 2));
        m_stopped = true;
        m_socket->disconnectFromHost();
        return;
    }
    case HttpResponse::Delivery::ResetBody: {
        const QByteArray &body = response.body();
        m_socket->write(response.head(false, body.size()));
        m_socket->write(body.first(body.size() / 2));
        m_stopped = true;
        resetWhenSent();
        return;
    }
    case HttpResponse::Delivery::Stream:
        startStream(response, keepAlive);
        return;
    case HttpResponse::Delivery::Normal:
        break;
    }
    m_socket->write(response.head(keepAlive));
    m_socket->write(response.body());
    if (!keepAlive) {
        m_stopped = true;
        m_socket->disconnectFromHost();
    }
}

void Connection::resetConnection()
{
    // A zero linger time makes the close send RST, which is what a crashed server looks like.
    const qintptr descriptor = m_socket->socketDescriptor();
    if (descriptor >= 0) {
        linger option{};
        option.l_onoff = 1;
        option.l_linger = 0;
#if defined(Q_OS_WIN)
        ::setsockopt(SOCKET(descriptor), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&option),
                     sizeof option);
#elif defined(Q_OS_UNIX)
        ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &option, sizeof option);
#endif
    }
    m_socket->abort();
    closed();
}

void Connection::resetWhenSent()
{
    // A reset throws away whatever the kernel still holds for the client, so the part of
    // the body that is meant to arrive has to be gone (and acknowledged) first.
    const QDeadlineTimer deadline(ResetDrainMs);
    const QDeadlineTimer grace(ResetGraceMs);
    auto *poll = new QTimer(this);
    poll->setInterval(5);
    connect(poll, &QTimer::timeout, this, [this, poll, deadline, grace] {
        if (m_closed) {
            poll->stop();
            return;
        }
        if (!deadline.hasExpired()) {
            if (m_socket->bytesToWrite() > 0)
                return;
            const qint64 unsent = unsentBytes(m_socket->socketDescriptor());
            if (unsent > 0 || (unsent < 0 && !grace.hasExpired()))
                return;
        }
        poll->stop();
        resetConnection();
    });
    poll->start();
}

void Connection::startStream(const HttpResponse &response, bool keepAlive)
{
    m_socket->write(response.head(keepAlive, response.streamLength()));
    m_streaming = true;
    m_streamKeepAlive = keepAlive;
    m_streamLength = response.streamLength();
    m_streamPrefix = response.body().first(std::min<qint64>(response.body().size(), m_streamLength));
    m_streamSent = 0;
    // Later requests on this connection wait until the whole answer is out.
    m_waiting = true;
    continueStream();
}

void Connection::continueStream()
{
    if (!m_streaming || m_closed)
        return;
    static const QByteArray filler(StreamChunk, ' ');
    while (m_streamSent < m_streamLength && m_socket->bytesToWrite() < StreamBacklog) {
        const qint64 size = std::min(StreamChunk, m_streamLength - m_streamSent);
        // The body first (a chunk ends where it does), then filler up to the length.
        const QByteArray chunk = m_streamSent < m_streamPrefix.size() ? m_streamPrefix.mid(m_streamSent, size)
                                                                      : filler.first(size);
        m_socket->write(chunk);
        m_streamSent += chunk.size();
    }
    if (m_streamSent < m_streamLength)
        return;
    m_streaming = false;
    m_streamPrefix.clear();
    if (!m_streamKeepAlive) {
        m_stopped = true;
        m_socket->disconnectFromHost();
        return;
    }
    m_waiting = false;
    // Not called directly: this may run inside processBuffer's own loop.
    QMetaObject::invokeMethod(this, &Connection::processBuffer, Qt::QueuedConnection);
}

void Connection::closed()
{
    if (m_closed)
        return;
    m_closed = true;
    m_server->connectionClosed(this);
    deleteLater();
}

} // namespace Sandbox
