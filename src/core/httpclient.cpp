#include "httpclient.h"

#include "config.h"
#include "text.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QQueue>
#include <QThread>
#include <QTimer>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace Core {

WaitMode waitModeFromNumber(int mode)
{
    return mode == 2 ? WaitMode::Short : WaitMode::Long;
}

HttpOptions HttpOptions::fromConfig(const Config &config)
{
    HttpOptions options;
    options.proxy = config.proxy;
    options.maxConnectionsPerHost = config.maxConnectionsPerHost;
    return options;
}

namespace {

struct Job
{
    HttpRequest request;
    QPromise<HttpResult> promise;
    QString hostKey;
    int attempt = 0;
    QNetworkReply *reply = nullptr;
    QTimer *timer = nullptr;  // made on the network thread, where it fires
    bool tooLarge = false;
};

bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    // Content and server errors are replies with an error status: they arrived whole.
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError)
        || error == QNetworkReply::ProtocolInvalidOperationError
        || error == QNetworkReply::ProxyAuthenticationRequiredError
        || error == QNetworkReply::AuthenticationRequiredError;
}

} // namespace

class HttpClient::Worker : public QObject
{
public:
    explicit Worker(const HttpOptions &options) : m_options(options) {}

    void setUp()
    {
        m_manager = new QNetworkAccessManager(this);
        m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkProxy proxy(QNetworkProxy::NoProxy);
        const QUrl proxyUrl(m_options.proxy.trimmed());
        if (!m_options.proxy.trimmed().isEmpty() && proxyUrl.isValid() && !proxyUrl.host().isEmpty())
            proxy = QNetworkProxy(QNetworkProxy::HttpProxy, proxyUrl.host(), quint16(proxyUrl.port(80)));
        m_manager->setProxy(proxy);
    }

    void enqueue(Job *job)
    {
        const QUrl url(job->request.address, QUrl::TolerantMode);
        if (!url.isValid() || url.host().isEmpty()
            || (url.scheme().compare(u"http"_s, Qt::CaseInsensitive) != 0
                && url.scheme().compare(u"https"_s, Qt::CaseInsensitive) != 0)) {
            HttpResult result;
            result.error = u"not an HTTP address: "_s + job->request.address;
            finish(job, std::move(result));
            return;
        }
        job->hostKey = url.host().toLower() + u':' + QString::number(url.port(80));
        if (m_inFlight.value(job->hostKey) < qMax(1, m_options.maxConnectionsPerHost)) {
            ++m_inFlight[job->hostKey];
            send(job);
        } else {
            m_waiting[job->hostKey].enqueue(job);
        }
    }

    void shutDown()
    {
        const auto jobs = m_jobs;
        for (Job *job : jobs) {
            HttpResult result;
            result.error = u"the network layer was shut down"_s;
            if (job->reply) {
                job->reply->disconnect(this);
                job->reply->abort();
                job->reply->deleteLater();
                job->reply = nullptr;
            }
            finish(job, std::move(result));
        }
        m_waiting.clear();
    }

    void adopt(Job *job)
    {
        m_jobs.insert(job);
        job->timer = new QTimer(this);
        job->timer->setSingleShot(true);
        // A coarse timer may fire 5% early; a wait is the whole of its time.
        job->timer->setTimerType(Qt::PreciseTimer);
        connect(job->timer, &QTimer::timeout, this, [this, job] { onTimeout(job); });
    }

private:
    void send(Job *job)
    {
        ++job->attempt;
        job->tooLarge = false;
        QNetworkRequest request(QUrl(job->request.address, QUrl::TolerantMode));
        request.setMaximumRedirectsAllowed(m_options.maxRedirects);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        job->reply = m_manager->get(request);
        connect(job->reply, &QNetworkReply::finished, this, [this, job] { onFinished(job); });
        connect(job->reply, &QNetworkReply::downloadProgress, this, [this, job](qint64 received, qint64 total) {
            if (job->reply && (received > m_options.maxBodyBytes || total > m_options.maxBodyBytes)) {
                job->tooLarge = true;
                job->reply->abort();
            }
        });
        job->timer->start(job->request.wait == WaitMode::Short ? m_options.shortWaitMs
                                                               : m_options.longWaitMs);
    }

    void onTimeout(Job *job)
    {
        QNetworkReply *reply = job->reply;
        job->reply = nullptr;
        if (reply) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
        if (job->attempt < 2) {
            send(job);
            return;
        }
        HttpResult result;
        result.attempts = job->attempt;
        result.error = u"no answer in time"_s;
        release(job);
        finish(job, std::move(result));
    }

    void onFinished(Job *job)
    {
        job->timer->stop();
        QNetworkReply *reply = job->reply;
        job->reply = nullptr;
        HttpResult result;
        result.attempts = job->attempt;
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.finalAddress = reply->url().toString();
        const QNetworkReply::NetworkError error = reply->error();
        result.completed = !job->tooLarge && result.status > 0
            && (error == QNetworkReply::NoError || isHttpStatusError(error));
        if (result.completed)
            result.body = reply->readAll();
        if (job->tooLarge)
            result.error = u"the reply is larger than "_s + QString::number(m_options.maxBodyBytes) + u" bytes"_s;
        else if (error != QNetworkReply::NoError)
            result.error = reply->errorString();
        reply->deleteLater();
        release(job);
        finish(job, std::move(result));
    }

    void release(Job *job)
    {
        QQueue<Job *> &waiting = m_waiting[job->hostKey];
        if (!waiting.isEmpty()) {
            send(waiting.dequeue());  // the freed connection goes straight to the next request
        } else {
            --m_inFlight[job->hostKey];
            m_waiting.remove(job->hostKey);
        }
    }

    void finish(Job *job, HttpResult result)
    {
        m_jobs.remove(job);
        job->timer->deleteLater();
        job->promise.addResult(std::move(result));
        job->promise.finish();
        delete job;
    }

    HttpOptions m_options;
    QNetworkAccessManager *m_manager = nullptr;
    QHash<QString, int> m_inFlight;
    QHash<QString, QQueue<Job *>> m_waiting;
    QSet<Job *> m_jobs;
};

HttpClient::HttpClient(const HttpOptions &options)
    : m_options(options), m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(u"quorvex-network"_s);
    m_worker = new Worker(m_options);
    m_worker->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->setUp(); }, Qt::BlockingQueuedConnection);
}

HttpClient::~HttpClient()
{
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->shutDown(); },
                              Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

const HttpOptions &HttpClient::options() const
{
    return m_options;
}

QFuture<HttpResult> HttpClient::getAsync(const HttpRequest &request)
{
    auto *job = new Job;
    job->request = request;
    job->request.address = trimSpaces(request.address);
    job->promise.start();
    QFuture<HttpResult> future = job->promise.future();
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, job] {
            worker->adopt(job);
            worker->enqueue(job);
        },
        Qt::QueuedConnection);
    return future;
}

HttpResult HttpClient::get(const HttpRequest &request)
{
    Q_ASSERT_X(QThread::currentThread() != m_thread.get(), "HttpClient::get",
               "a blocking fetch on the network thread would never return");
    QFuture<HttpResult> future = getAsync(request);
    future.waitForFinished();
    return future.result();
}

bool isFetchableAddress(const QString &address)
{
    return !isBlank(address) && address.contains(u"http://"_s);
}

namespace {

QByteArray fetchTextBody(HttpClient &client, const QString &address, int mode)
{
    // Only addresses holding "http://" are fetched: a secure address never leaves the program.
    if (!isFetchableAddress(address))
        return {};
    const HttpResult result = client.get({address, waitModeFromNumber(mode)});
    return result.completed ? result.body : QByteArray();
}

} // namespace

QString HttpGetText(HttpClient &client, const QString &address, int mode)
{
    const QByteArray body = fetchTextBody(client, address, mode);
    return body.isEmpty() ? QString() : decodeAnsi(body);
}

QString HttpGetUtf8Text(HttpClient &client, const QString &address, int mode)
{
    const QByteArray body = fetchTextBody(client, address, mode);
    return body.isEmpty() ? QString() : DecodeCharset(body, "utf-8");
}

} // namespace Core
