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

// What a reply is for decides how large it may grow before it is broken off.
enum class BodyKind { Page, Picture, Program };

struct HttpOptions
{
    QString proxy; // empty, or http://HOST:PORT; carries every request when set
    int maxConnectionsPerHost = 6;
    int shortWaitMs = 5000;
    int longWaitMs = 60000;
    int maxRedirects = 10;
    // Replies larger than these are broken off and count as failed: no page or picture the
    // program reads comes near them, and a hostile server can't fill the memory.
    qint64 maxPageBytes = 8 * 1024 * 1024; // pages, scripts, item documents
    qint64 maxPictureBytes = 32 * 1024 * 1024;
    qint64 maxProgramBytes = 256 * 1024 * 1024; // downloaded programs

    qint64 maxBytes(BodyKind kind) const;
    static HttpOptions fromConfig(const Config &config);
};

// A job's stop button. Copies share one flag; cancel() sets it and aborts every request
// in flight that carries it, on every client handle made with it.
class CancelToken
{
public:
    CancelToken();
    void cancel() const;
    bool isCancelled() const;

    struct State; // opaque outside the network layer

private:
    friend class HttpClient;
    std::shared_ptr<State> m_state;
};

struct HttpRequest
{
    QString address;
    WaitMode wait = WaitMode::Long;
    BodyKind kind = BodyKind::Page;
};

struct HttpResult
{
    // Why a request gave no usable reply. A reply with an error status is complete:
    // its failure is None and its status tells.
    enum class Failure {
        None,
        NotHttp,  // refused without a request
        NoAnswer, // no answer within the wait, twice
        Refused,  // nothing listens there
        HostNotFound,
        Closed,    // the connection closed before any answer, twice
        BrokenOff, // the answer started, then the transfer broke off
        TooLarge,
        TooManyRedirects,
        Cancelled,
        Other,
    };

    bool completed = false; // a whole reply arrived, whatever its status
    int status = 0;         // the HTTP status of the last reply, 0 when none arrived
    QByteArray body;
    Failure failure = Failure::None;
    QString error;        // the network layer's own words, for the log
    QString finalAddress; // the address after redirects
    int attempts = 0;     // 2 when a time-out or a closed connection led to the retry

    // Downloads store only what fully arrived with a status below 400.
    bool succeeded() const { return completed && status > 0 && status < 400; }
    // Why the reply can't be used, in words a seller understands; empty when it can.
    QString reason() const;
};

// The one HTTP layer of the program: a cheap handle on one network thread with one
// QNetworkAccessManager, so the connection limit per host holds for the whole process.
// Copies share the thread; it stops when the last handle goes, failing whatever is
// still in flight. Every call may come from any thread except that network thread;
// the blocking get() is for worker threads, never the GUI thread.
//
// Each attempt waits the mode's time, measured from the moment the request is
// actually sent (not while it queues for a free connection); after a time-out, or a
// connection that closed before any answer, the request is sent once more.
class HttpClient
{
public:
    explicit HttpClient(const HttpOptions &options = {});
    ~HttpClient();
    HttpClient(const HttpClient &other);
    HttpClient &operator=(const HttpClient &other);

    const HttpOptions &options() const;

    // A handle on the same network whose every request carries the token: a job hands
    // it to the library calls it makes, and its cancel reaches every one of them.
    HttpClient withCancel(const CancelToken &token) const;
    bool isCancelled() const;

    QFuture<HttpResult> getAsync(const HttpRequest &request);
    HttpResult get(const HttpRequest &request);

private:
    class Network;
    std::shared_ptr<Network> m_network;
    std::shared_ptr<CancelToken::State> m_cancel;
};

// True when a fetch may be attempted: not blank and holding "http://" somewhere.
bool isFetchableAddress(const QString &address);

// What a text fetch reads from a reply: the body of a complete reply decoded in the ANSI
// code page (GBK), whatever its status; the empty text for every failure.
QString ansiText(const HttpResult &result);

// GET decoded in the ANSI code page (GBK); the empty text for every failure.
// The status is not looked at: an error page comes back as its text.
QString HttpGetText(HttpClient &client, const QString &address, int mode);
// The same, decoded as UTF-8.
QString HttpGetUtf8Text(HttpClient &client, const QString &address, int mode);

} // namespace Core
