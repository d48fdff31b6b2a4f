#pragma once

#include "faultrule.h"
#include "httpresponse.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTcpServer>

namespace Sandbox {

class Connection;
class HttpRequest;
class Router;

// Accepts connections on 127.0.0.1 and decides every answer: control requests,
// injected faults, latency, and the counters tests read back.
class Server : public QObject
{
    Q_OBJECT

public:
    Server(const Router &router, int latencyMs, const QList<FaultRule> &faults, bool quiet,
           QObject *parent = nullptr);
    ~Server() override;

    bool listen(quint16 port, QString *error);
    quint16 port() const { return m_listener.serverPort(); }

    // The answer to one request arriving on connection, and how long to hold it back.
    HttpResponse respond(const HttpRequest &request, const Connection *connection, int *delayMs);
    void connectionClosed(const Connection *connection);
    void log(const QString &what, const HttpResponse &response, const QString &note = {}) const;

private:
    void acceptConnections();
    HttpResponse control(const HttpRequest &request);
    const FaultRule *matchingFault(const QString &target) const;
    static HttpResponse applyFault(const FaultRule &fault, const HttpRequest &request,
                                   const HttpResponse &normal);
    void noteConnectionUse(const Connection *connection, const QString &host);
    void resetPeaks();

    QTcpServer m_listener;
    const Router &m_router;
    const bool m_quiet;
    const int m_startLatencyMs;
    int m_latencyMs;
    const QList<FaultRule> m_startFaults;
    QList<FaultRule> m_runtimeFaults;

    qint64 m_total = 0;
    QHash<QString, qint64> m_pathCounts;
    QHash<QString, qint64> m_hostCounts;

    // A connection counts once it carried a real request, so the test's own control
    // connections never show up in the peaks.
    QHash<const Connection *, QSet<QString>> m_activeConnections;
    QHash<QString, int> m_openPerHost;
    int m_peakConnections = 0;
    QHash<QString, int> m_peakPerHost;
};

} // namespace Sandbox
