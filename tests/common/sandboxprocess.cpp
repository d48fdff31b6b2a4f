#include "sandboxprocess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QUrl>
#include <QtDebug>

using namespace Qt::Literals::StringLiterals;

namespace TestSupport {

namespace {

constexpr int StartTimeoutMs = 10'000;
constexpr int ControlTimeoutMs = 5'000;
const QByteArray ListeningPrefix = QByteArrayLiteral("quorvex-sandbox listening on 127.0.0.1:");

} // namespace

SandboxProcess::SandboxProcess(QStringList extraArgs)
{
    QStringList arguments = {u"--port"_s, u"0"_s, u"--quiet"_s};
    arguments += extraArgs;
    // With --quiet the sandbox is silent unless something goes wrong, and then (a failed
    // start, a sanitizer report) it belongs in the test's output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setProgram(executable());
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(StartTimeoutMs)) {
        qWarning("quorvex-sandbox did not start: %s", qUtf8Printable(m_process.errorString()));
        return;
    }

    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith(ListeningPrefix)) {
                m_port = quint16(line.mid(ListeningPrefix.size()).toUShort());
                return;
            }
        }
        if (m_process.state() != QProcess::Running)
            break;
        m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    qWarning("quorvex-sandbox did not report its port");
    m_process.kill();
    m_process.waitForFinished(StartTimeoutMs);
}

SandboxProcess::~SandboxProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(StartTimeoutMs);
    }
}

bool SandboxProcess::isRunning() const
{
    return m_port != 0 && m_process.state() == QProcess::Running;
}

QString SandboxProcess::proxyUrl() const
{
    return u"http://127.0.0.1:"_s + QString::number(m_port);
}

QJsonObject SandboxProcess::counts() const
{
    return controlJson("/__sandbox/counts");
}

int SandboxProcess::count(const QString &path) const
{
    return counts().value(u"paths").toObject().value(path).toInt();
}

int SandboxProcess::hostCount(const QString &hostAndPath) const
{
    return counts().value(u"hosts").toObject().value(hostAndPath).toInt();
}

QJsonObject SandboxProcess::peak() const
{
    return controlJson("/__sandbox/peak");
}

void SandboxProcess::reset()
{
    control("/__sandbox/reset");
}

void SandboxProcess::addFault(const QString &pattern, const QString &kind)
{
    control("/__sandbox/fault?pattern=" + QUrl::toPercentEncoding(pattern) +
            "&kind=" + QUrl::toPercentEncoding(kind));
}

void SandboxProcess::setLatency(int ms)
{
    control("/__sandbox/latency?ms=" + QByteArray::number(ms));
}

QString SandboxProcess::executable()
{
    return QStringLiteral(QUORVEX_SANDBOX_EXE);
}

QString SandboxProcess::dataDir()
{
    return QStringLiteral(QUORVEX_SANDBOX_DATA);
}

QByteArray SandboxProcess::control(const QByteArray &pathAndQuery) const
{
    if (m_port == 0) {
        qWarning("quorvex-sandbox is not running");
        return {};
    }
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_port);
    if (!socket.waitForConnected(ControlTimeoutMs)) {
        qWarning("cannot reach quorvex-sandbox: %s", qUtf8Printable(socket.errorString()));
        return {};
    }
    socket.write("GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port) +
                 "\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    const QDeadlineTimer deadline(ControlTimeoutMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        reply += socket.readAll();
    }
    reply += socket.readAll();

    const qsizetype headEnd = reply.indexOf("\r\n\r\n");
    if (!reply.startsWith("HTTP/1.1 ") || headEnd < 0) {
        qWarning("quorvex-sandbox gave no answer to %s", pathAndQuery.constData());
        return {};
    }
    if (!reply.startsWith("HTTP/1.1 200"))
        qWarning("quorvex-sandbox refused %s: %s", pathAndQuery.constData(),
                 reply.mid(headEnd + 4).constData());
    return reply.mid(headEnd + 4);
}

QJsonObject SandboxProcess::controlJson(const QByteArray &pathAndQuery) const
{
    return QJsonDocument::fromJson(control(pathAndQuery)).object();
}

} // namespace TestSupport
