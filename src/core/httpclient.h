#pragma once

#include <QByteArray>
#include <QFuture>
#include <QString>

#include <memory>

namespace Core {

struct Config;

// Mode 2 of the fetch calls is the short wait; every other number the long one.
enum class WaitMode { Short, Long };
WaitMode waitModeFromNumber(int mode);

struct HttpOptions
{
    QString proxy;                 // empty, or http://HOST:PORT; carries every request when set
    int maxConnectionsPerHost = 6;
    int shortWaitMs = 5000;
    int longWaitMs = 60000;
    int maxRedirects = 10;
    // A reply larger than this is broken off and counts as failed: no page or picture the
    // program reads comes near it, and a hostile server can't fill the memory.
    qint64 maxBodyBytes = 64 * 1024 * 1024;

    static HttpOptions fromConfig(const Config &config);
};

struct HttpRequest
{
    QString address;
    WaitMode wait = WaitMode::Long;
};

struct HttpResult
{
    bool completed = false;  // a whole reply arrived, whatever its status
    int status = 0;          // the HTTP status of the last reply, 0 when none arrived
    QByteArray body;
    QString error;           // why the request did not complete, or the status text
    QString finalAddress;    // the address after redirects
    int attempts = 0;        // 2 when a time-out led to the retry

    // Downloads store only what fully arrived with a status below 400.
    bool succeeded() const { return completed && status > 0 && status < 400; }
};

// The one HTTP layer of the program. It owns a network thread with one
// QNetworkAccessManager, so the connection limit per host holds for the whole
// process. Every call may come from any thread except that network thread;
// the blocking get() is for worker threads, never the GUI thread.
//
// Each attempt waits the mode's time, measured from the moment the request is
// actually sent (not while it queues for a free connection); after a time-out
// the request is sent once more, and a second time-out gives up.
class HttpClient
{
public:
    explicit HttpClient(const HttpOptions &options = {});
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    const HttpOptions &options() const;

    QFuture<HttpResult> getAsync(const HttpRequest &request);
    HttpResult get(const HttpRequest &request);

private:
    class Worker;
    HttpOptions m_options;
    std::unique_ptr<class QThread> m_thread;
    Worker *m_worker = nullptr;
};

// True when a fetch may be attempted: not blank and holding "http://" somewhere.
bool isFetchableAddress(const QString &address);

// GET decoded in the ANSI code page (GBK); the empty text for every failure.
// The status is not looked at: an error page comes back as its text.
QString HttpGetText(HttpClient &client, const QString &address, int mode);
// The same, decoded as UTF-8.
QString HttpGetUtf8Text(HttpClient &client, const QString &address, int mode);

} // namespace Core
