#include "server.h"

#include "connection.h"
#include "httprequest.h"
#include "picturefactory.h"
#include "router.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QTcpSocket>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

constexpr int MaxLatencyMs = 600'000;

QJsonObject toJson(const QHash<QString, qint64> &counts)
{
    QJsonObject object;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

HttpResponse controlError(const QString &message)
{
    return HttpResponse::json(QJsonObject{{u"error"_s, message}}, 400);
}

} // namespace

Server::Server(const Router &router, int latencyMs, const QList<FaultRule> &faults, bool quiet,
               QObject *parent)
    : QObject(parent), m_router(router), m_quiet(quiet), m_startLatencyMs(latencyMs), m_latencyMs(latencyMs),
      m_startFaults(faults)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &Server::acceptConnections);
}

Server::~Server()
{
    // Connections report their end to this object, so they have to go while it is whole.
    qDeleteAll(findChildren<Connection *>(Qt::FindDirectChildrenOnly));
}

bool Server::listen(quint16 port, QString *error)
{
    if (!m_listener.listen(QHostAddress::LocalHost, port)) {
        *error = m_listener.errorString();
        return false;
    }
    return true;
}

void Server::acceptConnections()
{
    while (QTcpSocket *socket = m_listener.nextPendingConnection())
        new Connection(socket, this);
}

HttpResponse Server::respond(const HttpRequest &request, const Connection *connection, int *delayMs)
{
    if (request.path().startsWith(u"/__sandbox/")) {
        *delayMs = 0;
        HttpResponse response = control(request);
        log(u"GET "_s + request.target(), response);
        return response;
    }

    noteConnectionUse(connection, request.host());
    ++m_total;
    ++m_pathCounts[request.path()];
    ++m_hostCounts[request.hostAndPath()];
    *delayMs = m_latencyMs;

    const QString target = request.target();
    HttpResponse response = m_router.route(request);
    if (const FaultRule *fault = matchingFault(target)) {
        response = applyFault(*fault, request, response);
        log(u"GET "_s + target, response, u"fault "_s + fault->kindName());
    } else {
        log(u"GET "_s + target, response);
    }
    return response;
}

const FaultRule *Server::matchingFault(const QString &target) const
{
    for (const FaultRule &rule : m_runtimeFaults) {
        if (rule.matches(target))
            return &rule;
    }
    for (const FaultRule &rule : m_startFaults) {
        if (rule.matches(target))
            return &rule;
    }
    return nullptr;
}

HttpResponse Server::applyFault(const FaultRule &fault, const HttpRequest &request,
                                const HttpResponse &normal)
{
    // Cutting needs something to cut; tiny bodies are swapped for a page.
    const auto cuttable = [&normal] {
        return normal.body().size() >= 2 ? normal : HttpResponse::htmlPage(200);
    };
    switch (fault.kind()) {
    case FaultRule::Kind::Hang:
    case FaultRule::Kind::Reset: {
        HttpResponse response = normal;
        response.setDelivery(fault.kind() == FaultRule::Kind::Hang ? HttpResponse::Delivery::Hang
                                                                   : HttpResponse::Delivery::Reset);
        return response;
    }
    case FaultRule::Kind::Status:
        return HttpResponse::htmlPage(fault.statusCode(), u"Injected failure."_s);
    case FaultRule::Kind::Truncate:
    case FaultRule::Kind::ResetBody: {
        HttpResponse response = cuttable();
        response.setDelivery(fault.kind() == FaultRule::Kind::Truncate ? HttpResponse::Delivery::Truncate
                                                                       : HttpResponse::Delivery::ResetBody);
        return response;
    }
    case FaultRule::Kind::Cut: {
        // A complete, well-framed answer whose content simply stops halfway.
        const HttpResponse whole = cuttable();
        return HttpResponse(200, whole.contentType(), whole.body().first(whole.body().size() / 2));
    }
    case FaultRule::Kind::Empty:
        return HttpResponse(200, normal.contentType(), QByteArray());
    case FaultRule::Kind::Garbage: {
        const auto format = fault.picture() == FaultRule::Picture::Png ? PictureFactory::Format::Png
                                                                       : PictureFactory::Format::Jpeg;
        return HttpResponse(200, PictureFactory::contentType(format),
                            PictureFactory::garbage(format, qChecksum(request.path().toUtf8())));
    }
    case FaultRule::Kind::Oversize: {
        // The real body padded out to the announced size; streamed, never held whole.
        HttpResponse response(
            200, normal.contentType().isEmpty() ? "application/octet-stream" : normal.contentType(),
            normal.body());
        response.setStream(fault.oversizeBytes());
        return response;
    }
    case FaultRule::Kind::RedirectLoop: {
        const QString url = request.requestedUrl();
        HttpResponse response = HttpResponse::htmlPage(302, u"The document has moved to "_s + url);
        response.addHeader("Location", url.toLatin1());
        return response;
    }
    }
    return normal;
}

HttpResponse Server::control(const HttpRequest &request)
{
    const QString command = request.path().mid(11);
    if (command == u"counts") {
        return HttpResponse::json(QJsonObject{
            {u"total"_s, m_total}, {u"paths"_s, toJson(m_pathCounts)}, {u"hosts"_s, toJson(m_hostCounts)}});
    }
    if (command == u"peak") {
        QJsonObject perHost;
        for (auto it = m_peakPerHost.begin(); it != m_peakPerHost.end(); ++it)
            perHost.insert(it.key(), it.value());
        return HttpResponse::json(
            QJsonObject{{u"peakConnections"_s, m_peakConnections}, {u"peakPerHost"_s, perHost}});
    }
    if (command == u"reset") {
        m_total = 0;
        m_pathCounts.clear();
        m_hostCounts.clear();
        m_runtimeFaults.clear();
        m_latencyMs = m_startLatencyMs;
        resetPeaks();
        return HttpResponse::json(QJsonObject{{u"ok"_s, true}});
    }
    if (command == u"fault") {
        QString error;
        const auto rule =
            FaultRule::create(request.queryItem(u"pattern"), request.queryItem(u"kind"), &error);
        if (!rule)
            return controlError(error);
        // Added in order: among run-time faults the earlier one still wins.
        m_runtimeFaults.append(*rule);
        return HttpResponse::json(QJsonObject{{u"ok"_s, true}, {u"faults"_s, m_runtimeFaults.size()}});
    }
    if (command == u"latency") {
        bool ok = false;
        const int ms = request.queryItem(u"ms").toInt(&ok);
        if (!ok || ms < 0 || ms > MaxLatencyMs)
            return controlError(u"ms must be 0 to 600000"_s);
        m_latencyMs = ms;
        return HttpResponse::json(QJsonObject{{u"ok"_s, true}, {u"latency"_s, ms}});
    }
    return HttpResponse::json(QJsonObject{{u"error"_s, u"unknown control request"_s}}, 404);
}

void Server::noteConnectionUse(const Connection *connection, const QString &host)
{
    auto active = m_activeConnections.find(connection);
    if (active == m_activeConnections.end()) {
        active = m_activeConnections.insert(connection, {});
        m_peakConnections = std::max(m_peakConnections, int(m_activeConnections.size()));
    }
    if (active->contains(host))
        return;
    active->insert(host);
    const int open = ++m_openPerHost[host];
    int &peak = m_peakPerHost[host];
    peak = std::max(peak, open);
}

void Server::connectionClosed(const Connection *connection)
{
    const auto active = m_activeConnections.constFind(connection);
    if (active == m_activeConnections.constEnd())
        return;
    for (const QString &host : *active) {
        if (--m_openPerHost[host] <= 0)
            m_openPerHost.remove(host);
    }
    m_activeConnections.erase(active);
}

void Server::resetPeaks()
{
    // Connections still open keep counting from here on.
    m_peakConnections = int(m_activeConnections.size());
    m_peakPerHost.clear();
    for (auto it = m_openPerHost.cbegin(); it != m_openPerHost.cend(); ++it)
        m_peakPerHost.insert(it.key(), it.value());
}

void Server::log(const QString &what, const HttpResponse &response, const QString &note) const
{
    if (m_quiet)
        return;
    QString line = what + u' ' + QString::number(response.status());
    if (!note.isEmpty())
        line += u" ("_s + note + u')';
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace Sandbox
