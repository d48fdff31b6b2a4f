#include "httpclient.h"

#include "config.h"
#include "logging.h"
#include "text.h"

#include <QHash>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QQueue>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <functional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace Core {

WaitMode waitModeFromNumber(int mode)
{
    return mode == 2 ? WaitMode::Short : WaitMode::Long;
}

qint64 HttpOptions::maxBytes(BodyKind kind) const
{
    switch (kind) {
    case BodyKind::Picture:
        return maxPictureBytes;
    case BodyKind::Program:
        return maxProgramBytes;
    case BodyKind::Page:
        break;
    }
    return maxPageBytes;
}

HttpOptions HttpOptions::fromConfig(const Config &config)
{
    HttpOptions options;
    options.proxy = config.proxy;
    options.maxConnectionsPerHost = config.maxConnectionsPerHost;
    return options;
}

QString HttpResult::reason() const
{
    switch (failure) {
    case Failure::None:
        if (status >= 400)
            return u"服务器返回错误（HTTP "_s + QString::number(status) + u"）"_s;
        return {};
    case Failure::NotHttp:
        return u"网址不是 http:// 开头，未下载"_s;
    case Failure::NoAnswer:
        return u"服务器无应答（等待超时）"_s;
    case Failure::Refused:
        return u"无法连接服务器（连接被拒绝）"_s;
    case Failure::HostNotFound:
        return u"找不到服务器"_s;
    case Failure::Closed:
        return u"服务器断开了连接，没有应答"_s;
    case Failure::BrokenOff:
        return u"传输中断，内容不完整"_s +
               (status > 0 ? u"（HTTP "_s + QString::number(status) + u"）"_s : QString());
    case Failure::TooLarge:
        return u"内容过大，已中止下载"_s;
    case Failure::TooManyRedirects:
        return u"网址重定向次数过多"_s;
    case Failure::Cancelled:
        return u"已停止"_s;
    case Failure::Other:
        break;
    }
    return u"网络错误："_s + error;
}

struct CancelToken::State
{
    std::atomic_bool cancelled = false;
    QMutex mutex;
    // One abort call per network that has carried the token; a network that is gone
    // no longer answers its weak pointer.
    std::vector<std::pair<const void *, std::function<void()>>> aborters;

    void addAborter(const void *key, std::function<void()> abort)
    {
        QMutexLocker locker(&mutex);
        for (const auto &entry : aborters) {
            if (entry.first == key)
                return;
        }
        aborters.emplace_back(key, std::move(abort));
    }
};

CancelToken::CancelToken() : m_state(std::make_shared<State>()) {}

void CancelToken::cancel() const
{
    m_state->cancelled = true;
    std::vector<std::function<void()>> calls;
    {
        QMutexLocker locker(&m_state->mutex);
        for (const auto &entry : m_state->aborters)
            calls.push_back(entry.second);
    }
    for (const auto &call : calls)
        call();
}

bool CancelToken::isCancelled() const
{
    return m_state->cancelled;
}

namespace {

struct Job
{
    HttpRequest request;
    QPromise<HttpResult> promise;
    std::shared_ptr<CancelToken::State> cancel;
    QString hostKey;
    int attempt = 0;
    bool active = false; // holds one of its host's connections
    QNetworkReply *reply = nullptr;
    QTimer *timer = nullptr; // made on the network thread, where it fires
    bool tooLarge = false;
    bool resendPending = false; // the timer's next shot sends the request again
    bool sent = false;          // the current attempt left the program
    int unsentFailures = 0;     // attempts the manager failed before sending them
};

constexpr int brokenConnectionPauseMs = 50;

// The network manager pools its connections per target (scheme, host and port), through a
// proxy as well as without one: so does the count of requests in flight.
QString connectionPoolKey(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme + u"://"_s + url.host().toLower() + u':' +
           QString::number(url.port(scheme == u"https"_s ? 443 : 80));
}

bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    // Content and server errors are replies with an error status: they arrived whole.
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError &&
            error != QNetworkReply::ContentReSendError) ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError) ||
           error == QNetworkReply::ProtocolInvalidOperationError ||
           error == QNetworkReply::ProxyAuthenticationRequiredError ||
           error == QNetworkReply::AuthenticationRequiredError;
}

HttpResult::Failure failureOf(QNetworkReply::NetworkError error, int status)
{
    using Failure = HttpResult::Failure;
    switch (error) {
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return Failure::TooManyRedirects;
    case QNetworkReply::OperationCanceledError:
        return Failure::Cancelled;
    default:
        break;
    }
    if (status > 0)
        return Failure::BrokenOff;
    switch (error) {
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::ContentReSendError:
        return Failure::Closed;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        return Failure::Refused;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        return Failure::HostNotFound;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return Failure::NoAnswer;
    default:
        return Failure::Other;
    }
}

} // namespace

class HttpClient::Network
{
public:
    class Worker;
    explicit Network(const HttpOptions &options);
    ~Network();

    HttpOptions options;
    std::unique_ptr<QThread> thread;
    Worker *worker = nullptr;
};

class HttpClient::Network::Worker : public QObject
{
public:
    explicit Worker(const HttpOptions &options) : m_options(options) {}

    void setUp()
    {
        m_manager = new QNetworkAccessManager(this);
        m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkProxy proxy(QNetworkProxy::NoProxy);
        const QUrl proxyUrl(m_options.proxy.trimmed());
        if (!m_options.proxy.trimmed().isEmpty() && proxyUrl.isValid() && !proxyUrl.host().isEmpty()) {
            proxy = QNetworkProxy(QNetworkProxy::HttpProxy, proxyUrl.host(), quint16(proxyUrl.port(80)));
        }
        m_manager->setProxy(proxy);
    }

    void enqueue(Job *job)
    {
        if (job->cancel && job->cancel->cancelled) {
            finish(job, failed(HttpResult::Failure::Cancelled));
            return;
        }
        const QUrl url(job->request.address, QUrl::TolerantMode);
        if (!url.isValid() || url.host().isEmpty() ||
            (url.scheme().compare(u"http"_s, Qt::CaseInsensitive) != 0 &&
             url.scheme().compare(u"https"_s, Qt::CaseInsensitive) != 0)) {
            HttpResult result = failed(HttpResult::Failure::NotHttp);
            result.error = u"not an HTTP address: "_s + job->request.address;
            finish(job, std::move(result));
            return;
        }
        job->hostKey = connectionPoolKey(url);
        if (m_inFlight.value(job->hostKey) < qMax(1, m_options.maxConnectionsPerHost)) {
            ++m_inFlight[job->hostKey];
            job->active = true;
            send(job);
        } else {
            m_waiting[job->hostKey].enqueue(job);
        }
    }

    // Fails every request whose token was cancelled: those on the wire are aborted,
    // those waiting for a connection never leave.
    void abortCancelled()
    {
        const auto isCancelled = [](const Job *job) { return job->cancel && job->cancel->cancelled; };
        // Those waiting first, so a freed connection never goes to a request about to be dropped.
        for (Job *job : QSet<Job *>(m_jobs)) {
            if (isCancelled(job) && !job->active) {
                m_waiting[job->hostKey].removeOne(job);
                finish(job, failed(HttpResult::Failure::Cancelled));
            }
        }
        for (Job *job : QSet<Job *>(m_jobs)) {
            if (!isCancelled(job))
                continue;
            dropReply(job);
            job->active = false;
            QTimer::singleShot(brokenConnectionPauseMs, this,
                               [this, key = job->hostKey] { releaseSlot(key); });
            finish(job, failed(HttpResult::Failure::Cancelled));
        }
    }

    void shutDown()
    {
        m_shuttingDown = true;
        const auto jobs = m_jobs;
        for (Job *job : jobs) {
            dropReply(job);
            HttpResult result = failed(HttpResult::Failure::Cancelled);
            result.error = u"the network layer was shut down"_s;
            finish(job, std::move(result));
        }
        m_waiting.clear();
        m_inFlight.clear();
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
    static HttpResult failed(HttpResult::Failure failure)
    {
        HttpResult result;
        result.failure = failure;
        return result;
    }

    void dropReply(Job *job)
    {
        if (job->timer)
            job->timer->stop();
        QNetworkReply *reply = job->reply;
        job->reply = nullptr;
        if (reply) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
    }

    void send(Job *job)
    {
        ++job->attempt;
        job->tooLarge = false;
        job->sent = false;
        QNetworkRequest request(QUrl(job->request.address, QUrl::TolerantMode));
        request.setMaximumRedirectsAllowed(m_options.maxRedirects);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        job->reply = m_manager->get(request);
        const qint64 limit = m_options.maxBytes(job->request.kind);
        connect(job->reply, &QNetworkReply::finished, this, [this, job] { onFinished(job); });
        connect(job->reply, &QNetworkReply::requestSent, this, [job] { job->sent = true; });
        connect(job->reply, &QNetworkReply::downloadProgress, this,
                [job, limit](qint64 received, qint64 total) {
                    if (job->reply && !job->tooLarge && (received > limit || total > limit)) {
                        job->tooLarge = true;
                        job->reply->abort();
                    }
                });
        job->timer->start(job->request.wait == WaitMode::Short ? m_options.shortWaitMs
                                                               : m_options.longWaitMs);
    }

    void onTimeout(Job *job)
    {
        if (job->resendPending) {
            job->resendPending = false;
            send(job);
            return;
        }
        dropReply(job);
        if (job->attempt < 2) {
            qCInfo(lcNet) << "no answer in time, asking again:" << job->request.address;
            send(job);
            return;
        }
        HttpResult result = failed(HttpResult::Failure::NoAnswer);
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
        result.completed = !job->tooLarge && result.status > 0 &&
                           (error == QNetworkReply::NoError || isHttpStatusError(error));
        if (result.completed) {
            result.body = reply->readAll();
        } else {
            result.failure = job->tooLarge ? HttpResult::Failure::TooLarge : failureOf(error, result.status);
            result.error = job->tooLarge
                               ? u"the reply is larger than "_s +
                                     QString::number(m_options.maxBytes(job->request.kind)) + u" bytes"_s
                               : reply->errorString();
        }
        reply->deleteLater();
        // After a connection broke, the manager is still putting it away for a moment, and
        // a request handed over meanwhile may be given that dead connection and failed
        // unsent. So the connection's place is taken again only after a short pause.
        const bool connectionBroke = result.failure != HttpResult::Failure::None &&
                                     result.failure != HttpResult::Failure::TooLarge &&
                                     result.failure != HttpResult::Failure::Cancelled;
        // A connection that closed before any answer says nothing about the request:
        // a kept-alive connection the server dropped, or a neighbour's reset. Once more.
        // A request the manager failed before it ever left (it gave it a connection that had
        // just died) was never asked at all: that try doesn't count.
        if (result.failure == HttpResult::Failure::Closed && !job->sent && job->unsentFailures < 3) {
            ++job->unsentFailures;
            --job->attempt;
        }
        if (result.failure == HttpResult::Failure::Closed && job->attempt < 2) {
            qCInfo(lcNet) << "connection closed before an answer, asking again:" << job->request.address;
            job->resendPending = true;
            job->timer->start(brokenConnectionPauseMs);
            return;
        }
        if (result.failure != HttpResult::Failure::None)
            qCInfo(lcNet) << "request failed:" << job->request.address << result.error;
        if (connectionBroke) {
            job->active = false;
            QTimer::singleShot(brokenConnectionPauseMs, this,
                               [this, key = job->hostKey] { releaseSlot(key); });
        } else {
            release(job);
        }
        finish(job, std::move(result));
    }

    void release(Job *job)
    {
        job->active = false;
        releaseSlot(job->hostKey);
    }

    void releaseSlot(const QString &hostKey)
    {
        if (m_shuttingDown)
            return;
        QQueue<Job *> &waiting = m_waiting[hostKey];
        while (!waiting.isEmpty() && waiting.head()->cancel && waiting.head()->cancel->cancelled)
            finish(waiting.dequeue(), failed(HttpResult::Failure::Cancelled));
        if (!waiting.isEmpty()) {
            Job *next = waiting.dequeue();
            next->active = true;
            send(next); // the freed connection goes straight to the next request
        } else {
            --m_inFlight[hostKey];
            m_waiting.remove(hostKey);
        }
    }

    void finish(Job *job, HttpResult result)
    {
        m_jobs.remove(job);
        if (job->timer)
            job->timer->deleteLater();
        job->promise.addResult(std::move(result));
        job->promise.finish();
        delete job;
    }

    HttpOptions m_options;
    bool m_shuttingDown = false;
    QNetworkAccessManager *m_manager = nullptr;
    QHash<QString, int> m_inFlight;
    QHash<QString, QQueue<Job *>> m_waiting;
    QSet<Job *> m_jobs;
};

HttpClient::Network::Network(const HttpOptions &options)
    : options(options), thread(std::make_unique<QThread>())
{
    thread->setObjectName(u"quorvex-network"_s);
    worker = new Worker(options);
    worker->moveToThread(thread.get());
    QObject::connect(thread.get(), &QThread::finished, worker, &QObject::deleteLater);
    thread->start();
    QMetaObject::invokeMethod(
        worker, [w = worker] { w->setUp(); }, Qt::BlockingQueuedConnection);
}

HttpClient::Network::~Network()
{
    QMetaObject::invokeMethod(
        worker, [w = worker] { w->shutDown(); }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
}

HttpClient::HttpClient(const HttpOptions &options) : m_network(std::make_shared<Network>(options)) {}

HttpClient::~HttpClient() = default;
HttpClient::HttpClient(const HttpClient &other) = default;
HttpClient &HttpClient::operator=(const HttpClient &other) = default;

const HttpOptions &HttpClient::options() const
{
    return m_network->options;
}

HttpClient HttpClient::withCancel(const CancelToken &token) const
{
    HttpClient handle(*this);
    handle.m_cancel = token.m_state;
    std::weak_ptr<Network> network = m_network;
    token.m_state->addAborter(m_network.get(), [network] {
        if (const auto alive = network.lock()) {
            QMetaObject::invokeMethod(
                alive->worker, [w = alive->worker] { w->abortCancelled(); }, Qt::QueuedConnection);
        }
    });
    return handle;
}

bool HttpClient::isCancelled() const
{
    return m_cancel && m_cancel->cancelled;
}

QFuture<HttpResult> HttpClient::getAsync(const HttpRequest &request)
{
    auto *job = new Job;
    job->request = request;
    job->request.address = trimSpaces(request.address);
    job->cancel = m_cancel;
    job->promise.start();
    QFuture<HttpResult> future = job->promise.future();
    QMetaObject::invokeMethod(
        m_network->worker,
        [worker = m_network->worker, job] {
            worker->adopt(job);
            worker->enqueue(job);
        },
        Qt::QueuedConnection);
    return future;
}

HttpResult HttpClient::get(const HttpRequest &request)
{
    Q_ASSERT_X(QThread::currentThread() != m_network->thread.get(), "HttpClient::get",
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

QString ansiText(const HttpResult &result)
{
    return result.completed && !result.body.isEmpty() ? decodeAnsi(result.body) : QString();
}

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
