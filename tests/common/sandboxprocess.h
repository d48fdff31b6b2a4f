#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Runs quorvex-sandbox for the length of a test and talks to its control endpoints.
// Control calls are plain blocking socket requests, so they work with or without an
// event loop running.
class SandboxProcess
{
public:
    // Starts the sandbox with "--port 0 --quiet" followed by extraArgs and waits up to
    // ten seconds for it to report its port.
    explicit SandboxProcess(QStringList extraArgs = {});
    ~SandboxProcess();

    SandboxProcess(const SandboxProcess &) = delete;
    SandboxProcess &operator=(const SandboxProcess &) = delete;

    bool isRunning() const;
    quint16 port() const { return m_port; }
    // The sandbox's process id, for looking at what it costs (memory) from outside.
    qint64 processId() const { return m_process.processId(); }
    // "http://127.0.0.1:PORT", for use as the HTTP proxy or as a base URL.
    QString proxyUrl() const;

    QJsonObject counts() const;
    // Requests seen for a path (without query), over all hosts.
    int count(const QString &path) const;
    // Requests seen for "host/path", e.g. "www.pelmora.com/soft/venlo/copy36.htm".
    int hostCount(const QString &hostAndPath) const;
    QJsonObject peak() const;

    void reset();
    void addFault(const QString &pattern, const QString &kind);
    void setLatency(int ms);

    static QString executable();
    static QString dataDir();

private:
    QByteArray control(const QByteArray &pathAndQuery) const;
    QJsonObject controlJson(const QByteArray &pathAndQuery) const;

    mutable QProcess m_process;
    quint16 m_port = 0;
};

} // namespace TestSupport
