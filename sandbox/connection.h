#pragma once

#include "httpresponse.h"

#include <QByteArray>
#include <QObject>

class QTcpSocket;

namespace Sandbox {

class Server;

// One client connection: reads requests one after another (keep-alive, pipelining)
// and writes each answer once its latency has passed. Deletes itself when the socket closes.
class Connection : public QObject
{
    Q_OBJECT

public:
    Connection(QTcpSocket *socket, Server *server);

private:
    void readIncoming();
    void processBuffer();
    void refuse(int status);
    void answerAndLinger(const HttpResponse &response);
    void deliver(const HttpResponse &response, bool keepAlive);
    void resetConnection();
    void resetWhenSent();
    void startStream(const HttpResponse &response, bool keepAlive);
    void continueStream();
    void closed();

    QTcpSocket *m_socket;
    Server *m_server;
    QByteArray m_buffer;
    qint64 m_bodyToSkip = 0;
    // An answer is waiting for its latency; later requests wait behind it.
    bool m_waiting = false;
    // Nothing more will be answered (hang, close, reset); input is read and dropped.
    bool m_stopped = false;
    bool m_closed = false;

    // A streamed answer in progress (oversize): written as the socket drains, so even a
    // reply of gigabytes only ever has a little of itself in memory.
    bool m_streaming = false;
    bool m_streamKeepAlive = false;
    QByteArray m_streamPrefix;
    qint64 m_streamLength = 0;
    qint64 m_streamSent = 0;
};

} // namespace Sandbox
