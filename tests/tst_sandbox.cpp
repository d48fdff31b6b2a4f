// Checks quorvex-sandbox from the outside with raw sockets, the way the product and
// its integration suites see it. Nothing of the product is used here.

#include "sandboxprocess.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using TestSupport::SandboxProcess;

namespace {

constexpr int ShopItems = 50;
constexpr int ShopSeed = 7;
constexpr int ReplyTimeoutMs = 5000;

struct Reply
{
    int status = 0; // 0: no complete head arrived
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    qint64 declaredLength = -1;

    QByteArray header(const QByteArray &name) const { return headers.value(name); }
};

bool waitUntil(QTcpSocket &socket, const QDeadlineTimer &deadline, const std::function<bool()> &ready)
{
    while (!ready()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return ready();
    }
    return true;
}

// Reads exactly one answer, leaving anything after it (a pipelined answer) in the socket.
Reply readReply(QTcpSocket &socket, int timeoutMs = ReplyTimeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const auto lineReady = [&socket] { return socket.canReadLine(); };
    Reply reply;
    if (!waitUntil(socket, deadline, lineReady))
        return reply;
    const QList<QByteArray> statusLine = socket.readLine().trimmed().split(' ');
    if (statusLine.size() < 2 || !statusLine.first().startsWith("HTTP/1."))
        return reply;
    while (true) {
        if (!waitUntil(socket, deadline, lineReady))
            return reply;
        const QByteArray line = socket.readLine().trimmed();
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        reply.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    reply.declaredLength = reply.header("content-length").toLongLong();
    while (reply.body.size() < reply.declaredLength) {
        const auto bodyReady = [&socket] { return socket.bytesAvailable() > 0; };
        if (!waitUntil(socket, deadline, bodyReady))
            break;
        reply.body += socket.read(reply.declaredLength - reply.body.size());
    }
    reply.status = statusLine.at(1).toInt();
    return reply;
}

bool closedByServer(QTcpSocket &socket, int timeoutMs = ReplyTimeoutMs)
{
    if (socket.state() == QAbstractSocket::UnconnectedState)
        return true;
    return socket.waitForDisconnected(timeoutMs);
}

QByteArray originRequest(const QByteArray &pathAndQuery, const QByteArray &host, const QByteArray &extra = {})
{
    return "GET " + pathAndQuery + " HTTP/1.1\r\nHost: " + host + "\r\n" + extra + "\r\n";
}

QByteArray proxyRequest(const QByteArray &url, const QByteArray &extra = {})
{
    const QByteArray host = url.mid(7, url.indexOf('/', 7) - 7);
    return "GET " + url + " HTTP/1.1\r\nHost: " + host + "\r\nProxy-Connection: keep-alive\r\n" + extra + "\r\n";
}

QString gbk(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

QByteArray toGbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString unescapeHtml(QString text)
{
    text.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&quot;"_s, u"\""_s);
    return text.replace(u"&amp;"_s, u"&"_s);
}

// The children of the document's root, by name, in document order.
QList<std::pair<QString, QString>> xmlChildren(const QString &xml)
{
    QList<std::pair<QString, QString>> children;
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement())
        return children;
    while (reader.readNextStartElement()) {
        const QString name = reader.name().toString();
        children.append({name, reader.readElementText(QXmlStreamReader::IncludeChildElements)});
    }
    if (reader.hasError())
        children.append({u"#error"_s, reader.errorString()});
    return children;
}

QString childText(const QList<std::pair<QString, QString>> &children, const QString &name)
{
    for (const auto &[childName, text] : children) {
        if (childName == name)
            return text;
    }
    return {};
}

QJsonArray sampleItems()
{
    QFile file(SandboxProcess::dataDir() + u"/items.json"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value(u"items").toArray();
}

QString generatedCode(int index)
{
    return QString::number(ShopSeed, 16).rightJustified(8, u'0')
        + QString::number(index, 16).toUpper().rightJustified(24, u'0');
}

QByteArray itemQuery(const QByteArray &code)
{
    return "/item/getItem.xhtml?format=xml&itemCode=" + code + "&needParseAttr=1&needDetailInfo=1&needExtendInfo=0";
}

// "value#slot#value#slot#..." pairs of the maker's parameter pages.
QHash<int, QString> slotValues(const QString &page)
{
    QHash<int, QString> byNumber;
    const QStringList parts = page.split(u'#');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        byNumber.insert(parts.at(i + 1).toInt(), parts.at(i));
    return byNumber;
}

QByteArray imageFormat(const QByteArray &bytes, QSize *size = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    if (size)
        *size = image.size();
    return format;
}

} // namespace

class TestSandbox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void itemDocument_data();
    void itemDocument();
    void itemCodeLookup_data();
    void itemCodeLookup();
    void requestForms_data();
    void requestForms();
    void connectionReuse_data();
    void connectionReuse();
    void pipelinedRequests();
    void badRequests_data();
    void badRequests();
    void faults_data();
    void faults();
    void faultOrder();
    void countersAndReset();
    void peakConnections();
    void latencyHoldsAnswers();
    void writeList_data();
    void writeList();
    void pictureFormats_data();
    void pictureFormats();
    void samplePicturesResolve_data();
    void samplePicturesResolve();
    void citiesTable();
    void makerPages_data();
    void makerPages();
    void invalidCommandLine_data();
    void invalidCommandLine();

private:
    Reply get(const QByteArray &pathAndQuery, const QByteArray &host = "api.paipai.com");
    Reply send(const QByteArray &request);

    QTemporaryDir m_tempDir;
    std::unique_ptr<SandboxProcess> m_sandbox;
};

void TestSandbox::initTestCase()
{
    QVERIFY(m_tempDir.isValid());
    m_sandbox = std::make_unique<SandboxProcess>(
        QStringList{u"--shop-items"_s, QString::number(ShopItems), u"--seed"_s, QString::number(ShopSeed),
                    u"--write-list"_s, m_tempDir.filePath(u"generated-list.txt"_s)});
    QVERIFY(m_sandbox->isRunning());
}

void TestSandbox::init()
{
    m_sandbox->reset();
}

Reply TestSandbox::send(const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    if (!socket.waitForConnected(ReplyTimeoutMs))
        return {};
    socket.write(request);
    return readReply(socket);
}

Reply TestSandbox::get(const QByteArray &pathAndQuery, const QByteArray &host)
{
    return send(originRequest(pathAndQuery, host, "Connection: close\r\n"));
}

void TestSandbox::itemDocument_data()
{
    QTest::addColumn<QJsonObject>("item");
    const QJsonArray items = sampleItems();
    QVERIFY(items.size() >= 8);
    for (const QJsonValue &item : items)
        QTest::newRow(qPrintable(item[u"itemCode"].toString())) << item.toObject();
}

void TestSandbox::itemDocument()
{
    QFETCH(QJsonObject, item);
    const QString code = item[u"itemCode"].toString();
    const Reply reply = get(itemQuery(code.toLatin1()));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), "text/xml; charset=GBK");
    QVERIFY(reply.body.startsWith("<?xml version=\"1.0\" encoding=\"GBK\"?>"));

    // The title travels XML-escaped and in GBK, byte for byte.
    const QString title = item[u"itemName"].toString();
    QVERIFY(reply.body.contains(QByteArray("<itemName>" + toGbk(title.toHtmlEscaped()) + "</itemName>")));

    const QString xml = gbk(reply.body);
    QVERIFY(!xml.isEmpty());
    const auto children = xmlChildren(xml);
    QCOMPARE(childText(children, u"#error"_s), QString());
    QCOMPARE(childText(children, u"errorCode"_s), u"0"_s);
    QCOMPARE(childText(children, u"itemCode"_s), code);
    QCOMPARE(childText(children, u"itemName"_s), title);

    QStringList names;
    for (const auto &child : children)
        names.append(child.first);
    QVERIFY(names.contains(u"errorMessage"_s));
    QVERIFY(names.contains(u"detailInfo"_s));
    for (const QString &element :
         {u"stateDesc"_s, u"classId"_s, u"categoryId"_s, u"stockCount"_s, u"weight"_s, u"itemPrice"_s,
          u"sellerPayFreight"_s, u"expressPrice"_s, u"emsPrice"_s, u"invoiceItem"_s, u"guaranteeRepair"_s,
          u"itemLocalCode"_s, u"attr"_s, u"provinceId"_s, u"cityId"_s}) {
        QVERIFY2(names.contains(element), qPrintable(element));
        QCOMPARE(childText(children, element), item[element].toString());
    }

    // The description is escaped markup inside CDATA.
    const QString description = item[u"detailInfo"].toString();
    QCOMPARE(unescapeHtml(childText(children, u"detailInfo"_s)), description);
    if (!description.isEmpty())
        QVERIFY(xml.contains(u"<detailInfo><![CDATA[&lt;"_s));

    QStringList pictures;
    for (const auto &[name, text] : children) {
        if (name.startsWith(u"picLink"))
            pictures.append(text);
    }
    QStringList expected;
    for (const QJsonValue &url : item[u"pictures"].toArray())
        expected.append(url.toString());
    QCOMPARE(pictures, expected);
}

void TestSandbox::itemCodeLookup_data()
{
    QTest::addColumn<QByteArray>("codeParameter");
    QTest::addColumn<QString>("expectedCode"); // empty: the error document

    const QByteArray first = "0C7D360B00000000040100000CC1B772";
    QTest::newRow("exact") << first << QString::fromLatin1(first);
    QTest::newRow("lower case") << first.toLower() << QString::fromLatin1(first);
    QTest::newRow("spaces as %20") << QByteArray("%20%20" + first + "%20") << QString::fromLatin1(first);
    QTest::newRow("spaces as +") << QByteArray("+" + first + "+") << QString::fromLatin1(first);
    QTest::newRow("unknown") << QByteArray("8A0B1C2D000000000C0900001449330E") << QString();
    QTest::newRow("blank") << QByteArray("%20") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("one digit short") << first.left(31) << QString();
    QTest::newRow("generated first") << generatedCode(0).toLatin1() << generatedCode(0);
    QTest::newRow("generated last") << generatedCode(ShopItems - 1).toLatin1() << generatedCode(ShopItems - 1);
    QTest::newRow("generated past the end") << generatedCode(ShopItems).toLatin1() << QString();
    QTest::newRow("generated, other seed")
        << QString(u"00000008"_s + generatedCode(1).mid(8)).toLatin1() << QString();
}

void TestSandbox::itemCodeLookup()
{
    QFETCH(QByteArray, codeParameter);
    QFETCH(QString, expectedCode);

    const Reply reply = get(itemQuery(codeParameter));
    // The service reports its own errors inside a normal answer.
    QCOMPARE(reply.status, 200);
    const auto children = xmlChildren(gbk(reply.body));
    QCOMPARE(childText(children, u"#error"_s), QString());
    QVERIFY(!children.isEmpty());
    const QString errorCode = childText(children, u"errorCode"_s);
    if (expectedCode.isEmpty()) {
        QVERIFY(!errorCode.isEmpty());
        QVERIFY(errorCode != u"0");
        QVERIFY(!childText(children, u"errorMessage"_s).isEmpty());
        for (const auto &child : children)
            QVERIFY2(child.first == u"errorCode" || child.first == u"errorMessage", qPrintable(child.first));
    } else {
        QCOMPARE(errorCode, u"0"_s);
        QCOMPARE(childText(children, u"itemCode"_s), expectedCode);
        QVERIFY(!childText(children, u"itemName"_s).isEmpty());
    }
}

void TestSandbox::requestForms_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<int>("status");
    QTest::newRow("item service") << QByteArray("http://api.paipai.com" + itemQuery("0C7D360B00000000040100000CC1B772"))
                                  << 200;
    QTest::newRow("city table") << QByteArray("http://static.paipaiimg.com/js/cities.js") << 200;
    QTest::newRow("picture") << QByteArray("http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg") << 200;
    QTest::newRow("item page") << QByteArray("http://auction1.paipai.com/0C7D360B00000000040100000CC1B772") << 200;
    QTest::newRow("maker page, any host") << QByteArray("http://example.org/soft/venlo/s_ver.txt") << 200;
    QTest::newRow("unknown path") << QByteArray("http://www.pelmora.com/no/such/page.htm") << 404;
}

void TestSandbox::requestForms()
{
    QFETCH(QByteArray, url);
    QFETCH(int, status);

    const qsizetype pathStart = url.indexOf('/', 7);
    const Reply viaProxy = send(proxyRequest(url, "Connection: close\r\n"));
    const Reply direct = get(url.mid(pathStart), url.mid(7, pathStart - 7));
    QCOMPARE(viaProxy.status, status);
    QCOMPARE(direct.status, status);
    QCOMPARE(viaProxy.header("content-type"), direct.header("content-type"));
    QCOMPARE(viaProxy.body, direct.body);
    QCOMPARE(viaProxy.body.size(), viaProxy.declaredLength);
    if (status == 404)
        QVERIFY(viaProxy.header("content-type").startsWith("text/html"));
}

void TestSandbox::connectionReuse_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QByteArray>("connectionHeader");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("1.1 default") << QByteArray("HTTP/1.1") << QByteArray() << true;
    QTest::newRow("1.1 close") << QByteArray("HTTP/1.1") << QByteArray("Connection: close\r\n") << false;
    QTest::newRow("1.1 Close, mixed case") << QByteArray("HTTP/1.1") << QByteArray("connection: Close\r\n") << false;
    QTest::newRow("1.0 default") << QByteArray("HTTP/1.0") << QByteArray() << false;
    QTest::newRow("1.0 keep-alive") << QByteArray("HTTP/1.0") << QByteArray("Connection: Keep-Alive\r\n") << true;
    QTest::newRow("1.0 proxy keep-alive") << QByteArray("HTTP/1.0") << QByteArray("Proxy-Connection: keep-alive\r\n")
                                          << true;
}

void TestSandbox::connectionReuse()
{
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, connectionHeader);
    QFETCH(bool, staysOpen);

    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    const QByteArray request = "GET http://static.paipaiimg.com/js/cities.js " + version
        + "\r\nHost: static.paipaiimg.com\r\n" + connectionHeader + "\r\n";
    socket.write(request);
    const Reply first = readReply(socket);
    QCOMPARE(first.status, 200);
    QCOMPARE(first.header("connection").toLower(), staysOpen ? "keep-alive" : "close");

    if (!staysOpen) {
        QVERIFY(closedByServer(socket));
        return;
    }
    // A second request on the same connection is answered too.
    socket.write(request);
    const Reply second = readReply(socket);
    QCOMPARE(second.status, 200);
    QCOMPARE(second.body, first.body);
    QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(m_sandbox->count(u"/js/cities.js"_s), 2);
}

void TestSandbox::pipelinedRequests()
{
    // Sent in one go: the answers come back in order, each complete.
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    m_sandbox->setLatency(50);
    socket.write(originRequest("/soft/venlo/s_ver.txt", "www.pelmora.com")
                 + originRequest("/no/such/thing", "www.pelmora.com")
                 + originRequest("/soft/venlo/s_ver.txt", "soft.pelmora.com", "Connection: close\r\n"));
    const Reply first = readReply(socket);
    const Reply second = readReply(socket);
    const Reply third = readReply(socket);
    QCOMPARE(first.status, 200);
    QCOMPARE(first.body, "3.6");
    QCOMPARE(second.status, 404);
    QCOMPARE(third.status, 200);
    QCOMPARE(third.body, "3.6");
    QVERIFY(closedByServer(socket));
}

void TestSandbox::badRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    QTest::newRow("garbage") << QByteArray("\x01\x02\xff hello\r\n\r\n") << 400;
    QTest::newRow("no version") << QByteArray("GET /js/cities.js\r\n\r\n") << 400;
    QTest::newRow("unknown version") << QByteArray("GET /js/cities.js HTTP/2.0\r\nHost: a\r\n\r\n") << 400;
    QTest::newRow("1.1 without Host") << QByteArray("GET /js/cities.js HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("relative target") << QByteArray("GET js/cities.js HTTP/1.1\r\nHost: a\r\n\r\n") << 400;
    QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nBroken\r\n\r\n") << 400;
    QTest::newRow("folded header") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nX-A: 1\r\n  2\r\n\r\n") << 400;
    QTest::newRow("bad length") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nContent-Length: x\r\n\r\n") << 400;
    QTest::newRow("chunked body") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n")
                                  << 400;
    QTest::newRow("POST") << QByteArray("POST /item/getItem.xhtml HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc")
                          << 405;
    QTest::newRow("HEAD") << QByteArray("HEAD /js/cities.js HTTP/1.1\r\nHost: a\r\n\r\n") << 405;
    QTest::newRow("CONNECT") << QByteArray("CONNECT api.paipai.com:443 HTTP/1.1\r\nHost: api.paipai.com\r\n\r\n")
                             << 405;
    QTest::newRow("head too large")
        << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nX-Filler: " + QByteArray(70 * 1024, 'x') + "\r\n\r\n") << 431;
    QTest::newRow("endless line") << QByteArray(80 * 1024, 'G') << 431;
}

void TestSandbox::badRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);

    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    socket.write(request);
    const Reply reply = readReply(socket);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.body.size(), reply.declaredLength);
    // The connection's framing can no longer be trusted, so it ends.
    QVERIFY(closedByServer(socket));
    QCOMPARE(get("/soft/venlo/s_ver.txt").status, 200);
}

void TestSandbox::faults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("hang") << u"hang"_s;
    QTest::newRow("reset") << u"reset"_s;
    QTest::newRow("status") << u"status:503"_s;
    QTest::newRow("truncate") << u"truncate"_s;
    QTest::newRow("empty") << u"empty"_s;
}

void TestSandbox::faults()
{
    QFETCH(QString, kind);
    const QByteArray url = "http://www.pelmora.com/soft/venlo/copy36.htm";
    m_sandbox->addFault(u"www.pelmora.com/soft/*/copy36.htm"_s, kind);

    // Other paths and hosts are untouched.
    QCOMPARE(send(proxyRequest("http://soft.pelmora.com/soft/venlo/copy36.htm", "Connection: close\r\n")).status, 200);
    QCOMPARE(send(proxyRequest("http://www.pelmora.com/soft/venlo/copy_app35.htm", "Connection: close\r\n")).status,
             200);

    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    socket.write(proxyRequest(url));

    if (kind == u"hang") {
        QVERIFY(!socket.waitForReadyRead(700));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(socket.bytesAvailable(), 0);
    } else if (kind == u"reset") {
        QVERIFY(closedByServer(socket));
        QCOMPARE(socket.readAll(), QByteArray());
    } else if (kind == u"truncate") {
        const Reply reply = readReply(socket);
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.declaredLength > 0);
        QVERIFY(reply.body.size() < reply.declaredLength);
        QVERIFY(!reply.body.isEmpty());
        QVERIFY(closedByServer(socket));
    } else if (kind == u"empty") {
        const Reply reply = readReply(socket);
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.declaredLength, 0);
        QVERIFY(reply.headers.contains("content-length"));
    } else {
        const Reply reply = readReply(socket);
        QCOMPARE(reply.status, 503);
        QVERIFY(reply.header("content-type").startsWith("text/html"));
        QVERIFY(!reply.body.isEmpty());
    }
    // Faulted requests still count: tests use that to see the product's retries.
    QCOMPARE(m_sandbox->hostCount(u"www.pelmora.com/soft/venlo/copy36.htm"_s), 1);
}

void TestSandbox::faultOrder()
{
    // Command-line faults apply from the start; the query is part of what patterns see,
    // and a pattern may contain '=' itself.
    SandboxProcess sandbox({u"--fault"_s, u"www.pelmora.com/soft/*=status:500"_s, u"--fault"_s,
                            u"api.paipai.com/item/getItem.xhtml?*itemCode=1A2B*=status:502"_s, u"--fault"_s,
                            u"*=status:418"_s});
    QVERIFY(sandbox.isRunning());
    const auto statusOf = [&sandbox](const QByteArray &url) {
        QTcpSocket socket;
        socket.connectToHost(u"127.0.0.1"_s, sandbox.port());
        if (!socket.waitForConnected(ReplyTimeoutMs))
            return -1;
        socket.write(proxyRequest(url, "Connection: close\r\n"));
        return readReply(socket).status;
    };
    QCOMPARE(statusOf("http://www.pelmora.com/soft/venlo/copy36.htm"), 500);
    QCOMPARE(statusOf("http://api.paipai.com" + itemQuery("1A2B3C4D00000000050200000DD2C883")), 502);
    // Without a match further up, the catch-all last rule wins.
    QCOMPARE(statusOf("http://soft.pelmora.com/soft/venlo/copy36.htm"), 418);
    QCOMPARE(statusOf("http://api.paipai.com" + itemQuery("0C7D360B00000000040100000CC1B772")), 418);

    // Faults added at run time come before the command line's, in the order added.
    sandbox.addFault(u"*copy36.htm"_s, u"status:404"_s);
    sandbox.addFault(u"*"_s, u"status:503"_s);
    QCOMPARE(statusOf("http://www.pelmora.com/soft/venlo/copy36.htm"), 404);
    QCOMPARE(statusOf("http://www.pelmora.com/soft/venlo/s_ver.txt"), 503);
    sandbox.reset();
    QCOMPARE(statusOf("http://www.pelmora.com/soft/venlo/copy36.htm"), 500);
}

void TestSandbox::countersAndReset()
{
    QCOMPARE(send(proxyRequest("http://static.paipaiimg.com/js/cities.js?v=20120508", "Connection: close\r\n")).status,
             200);
    QCOMPARE(get("/js/cities.js", "other.example:8080").status, 200);
    QCOMPARE(get("/missing.htm", "www.pelmora.com").status, 404);
    m_sandbox->peak(); // control requests are not counted

    const QJsonObject counts = m_sandbox->counts();
    QCOMPARE(counts[u"total"].toInt(), 3);
    QCOMPARE(counts[u"paths"].toObject().size(), 2);
    QCOMPARE(m_sandbox->count(u"/js/cities.js"_s), 2);
    QCOMPARE(m_sandbox->count(u"/missing.htm"_s), 1);
    QCOMPARE(m_sandbox->hostCount(u"static.paipaiimg.com/js/cities.js"_s), 1);
    QCOMPARE(m_sandbox->hostCount(u"other.example/js/cities.js"_s), 1);

    m_sandbox->reset();
    const QJsonObject cleared = m_sandbox->counts();
    QCOMPARE(cleared[u"total"].toInt(), 0);
    QVERIFY(cleared[u"paths"].toObject().isEmpty());
    QVERIFY(cleared[u"hosts"].toObject().isEmpty());
}

void TestSandbox::peakConnections()
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    const QList<QByteArray> hosts = {"img0.paipaiimg.com", "img0.paipaiimg.com", "img0.paipaiimg.com",
                                     "img1.paipaiimg.com"};
    for (const QByteArray &host : hosts) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(u"127.0.0.1"_s, m_sandbox->port());
        QVERIFY(socket->waitForConnected(ReplyTimeoutMs));
        socket->write(proxyRequest("http://" + host + "/a1/0C7D360B/main1.jpg"));
        QCOMPARE(readReply(*socket).status, 200);
        sockets.push_back(std::move(socket));
    }
    // One connection carries a second host, as pooled proxy connections do.
    sockets.back()->write(proxyRequest("http://img0.paipaiimg.com/a1/0C7D360B/main2.jpg"));
    QCOMPARE(readReply(*sockets.back()).status, 200);

    QJsonObject peak = m_sandbox->peak();
    QCOMPARE(peak[u"peakConnections"].toInt(), 4);
    QCOMPARE(peak[u"peakPerHost"].toObject()[u"img0.paipaiimg.com"].toInt(), 4);
    QCOMPARE(peak[u"peakPerHost"].toObject()[u"img1.paipaiimg.com"].toInt(), 1);

    // Once those connections are gone, a reset starts the peaks from nothing.
    sockets.clear();
    QTRY_VERIFY([this] {
        m_sandbox->reset();
        return m_sandbox->peak()[u"peakConnections"].toInt() == 0;
    }());
    QVERIFY(m_sandbox->peak()[u"peakPerHost"].toObject().isEmpty());
}

void TestSandbox::latencyHoldsAnswers()
{
    m_sandbox->setLatency(300);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(get("/soft/venlo/s_ver.txt").status, 200);
    QVERIFY2(timer.elapsed() >= 250, qPrintable(QString::number(timer.elapsed())));

    // Control requests are never held back (this one would otherwise outlast the control
    // timeout), and a reset brings back the start latency, so the last request is answered.
    m_sandbox->setLatency(60'000);
    QCOMPARE(m_sandbox->counts()[u"total"].toInt(), 1);
    m_sandbox->reset();
    QCOMPARE(get("/soft/venlo/s_ver.txt").status, 200);
}

void TestSandbox::writeList_data()
{
    QTest::addColumn<bool>("generated");
    QTest::newRow("generated shop") << true;
    QTest::newRow("sample list") << false;
}

void TestSandbox::writeList()
{
    QFETCH(bool, generated);

    QString listFile = m_tempDir.filePath(u"generated-list.txt"_s);
    std::unique_ptr<SandboxProcess> samples;
    if (!generated) {
        listFile = m_tempDir.filePath(u"sample-list.txt"_s);
        samples = std::make_unique<SandboxProcess>(QStringList{u"--write-list"_s, listFile});
        QVERIFY(samples->isRunning());
    }
    QFile file(listFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = gbk(file.readAll());
    QVERIFY(!text.isEmpty());
    QVERIFY(text.endsWith(u"\r\n"));
    QCOMPARE(text.count(u'\n'), text.count(u"\r\n"_s));
    const QStringList lines = text.chopped(2).split(u"\r\n"_s);

    const QRegularExpression lineShape(u"^网址ID:([0-9A-F]{32})：(.+)$"_s);
    QStringList codes;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = lineShape.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        codes.append(match.captured(1));
    }

    if (generated) {
        QCOMPARE(lines.size(), ShopItems);
        for (int i = 0; i < ShopItems; ++i)
            QCOMPARE(codes.at(i), generatedCode(i));
        // The list's title is the one the item service gives.
        const QString last = lines.last();
        const auto children = xmlChildren(gbk(get(itemQuery(codes.last().toLatin1())).body));
        QCOMPARE(childText(children, u"itemName"_s), last.mid(last.indexOf(u"：") + 1));
        QCOMPARE(QSet<QString>(codes.begin(), codes.end()).size(), ShopItems);
    } else {
        QFile sampleList(SandboxProcess::dataDir() + u"/sample-list.txt"_s);
        QVERIFY(sampleList.open(QIODevice::ReadOnly));
        const QString expected = QString::fromUtf8(sampleList.readAll()).trimmed().replace(u"\n"_s, u"\r\n"_s);
        QCOMPARE(text.chopped(2), expected);
        // Every code but one is known to the item service.
        int unknown = 0;
        for (const QString &code : std::as_const(codes)) {
            const auto children = xmlChildren(gbk(get(itemQuery(code.toLatin1())).body));
            if (childText(children, u"errorCode"_s) != u"0")
                ++unknown;
        }
        QCOMPARE(unknown, 1);
    }
}

void TestSandbox::pictureFormats_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("contentType");

    QTest::newRow("jpg") << QByteArray("/a1/0C7D360B/main1.jpg") << QByteArray("jpeg") << QByteArray("image/jpeg");
    QTest::newRow("png") << QByteArray("/c3/2F4E6A8C/desc/plug.png") << QByteArray("png") << QByteArray("image/png");
    QTest::newRow("bmp") << QByteArray("/c3/2F4E6A8C/main1.bmp") << QByteArray("bmp") << QByteArray("image/bmp");
    QTest::newRow("gif") << QByteArray("/b2/1A2B3C4D/main1.gif") << QByteArray("gif") << QByteArray("image/gif");
    QTest::newRow("ico") << QByteArray("/c3/2F4E6A8C/main2.ico") << QByteArray("ico") << QByteArray("image/x-icon");
    // Named and typed as JPEG by the server; only the bytes tell.
    QTest::newRow("png named .jpg") << QByteArray("/b2/1A2B3C4D/main3.jpg") << QByteArray("png")
                                    << QByteArray("image/jpeg");
    QTest::newRow("query ignored") << QByteArray("/d4/3B5D7F91/main1.jpg?w=400&v=2") << QByteArray("jpeg")
                                   << QByteArray("image/jpeg");
    QTest::newRow("generated") << QByteArray("/gen/7/3/5.jpg") << QByteArray("jpeg") << QByteArray("image/jpeg");
    QTest::newRow("watermark 1") << QByteArray("/soft/venlo/sy_pic1.jpg") << QByteArray("jpeg")
                                 << QByteArray("image/jpeg");
}

void TestSandbox::pictureFormats()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, contentType);

    const Reply reply = get(path, "img1.paipaiimg.com");
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), contentType);
    QCOMPARE(imageFormat(reply.body), format);
    if (format == "gif")
        QVERIFY(reply.body.startsWith("GIF89a"));
    if (path.contains('?'))
        QCOMPARE(get(path.left(path.indexOf('?')), "img1.paipaiimg.com").body, reply.body);
    if (path.startsWith("/gen/")) {
        // Sized like real product photos, and the same picture every time.
        QVERIFY2(reply.body.size() >= 15'000 && reply.body.size() <= 40'000, qPrintable(QString::number(reply.body.size())));
        QCOMPARE(get(path, "img3.paipaiimg.com").body, reply.body);
    }
}

void TestSandbox::samplePicturesResolve_data()
{
    QTest::addColumn<QStringList>("urls");
    // Every picture a sample item names, in its picture links or its description.
    const QRegularExpression inDescription(u"(?:src|background)=\"([^\"\\s<>]+)"_s);
    for (const QJsonValue &value : sampleItems()) {
        QStringList urls;
        for (const QJsonValue &url : value[u"pictures"].toArray()) {
            if (!url.toString().isEmpty())
                urls.append(url.toString());
        }
        QRegularExpressionMatchIterator it = inDescription.globalMatch(value[u"detailInfo"].toString());
        while (it.hasNext())
            urls.append(it.next().captured(1));
        QTest::newRow(qPrintable(value[u"itemCode"].toString())) << urls;
    }
}

void TestSandbox::samplePicturesResolve()
{
    QFETCH(QStringList, urls);
    QVERIFY(!urls.isEmpty());
    for (const QString &url : std::as_const(urls)) {
        const Reply reply = send(proxyRequest(url.toLatin1(), "Connection: close\r\n"));
        if (url.endsWith(u"/gone.jpg")) {
            QCOMPARE(reply.status, 404);
            QVERIFY(reply.header("content-type").startsWith("text/html"));
            QVERIFY(reply.body.contains("<html>"));
        } else if (url.endsWith(u"/busy.jpg")) {
            QCOMPARE(reply.status, 200);
            QVERIFY(reply.header("content-type").startsWith("text/html"));
            QVERIFY(reply.body.contains("<html>"));
            QVERIFY(imageFormat(reply.body).isEmpty());
        } else {
            QVERIFY2(reply.status == 200, qPrintable(url));
            QVERIFY2(!imageFormat(reply.body).isEmpty(), qPrintable(url));
        }
    }
}

void TestSandbox::citiesTable()
{
    const Reply reply = get("/js/cities.js", "static.paipaiimg.com");
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.header("content-type").contains("GBK"));
    const QString script = gbk(reply.body);
    QVERIFY(!script.isEmpty());

    // Provinces: the first parentheses after the first "city", in any letter case.
    const qsizetype city = script.indexOf(u"city"_s, 0, Qt::CaseInsensitive);
    QVERIFY(city > 0);
    const qsizetype open = script.indexOf(u'(', city);
    const qsizetype close = script.indexOf(u')', open);
    QVERIFY(open > 0 && close > open);
    QStringList provinces = script.mid(open + 1, close - open - 1).split(u',');
    for (QString &name : provinces)
        name.remove(u'\'');
    QVERIFY(provinces.size() > 30);
    QCOMPARE(provinces.at(0), u"北京"_s);
    QCOMPARE(provinces.at(2), u"河北省"_s);

    const auto hasCity = [&script](const QString &id) { return script.contains(u',' + id + u",'"_s); };
    QVERIFY(hasCity(u"12"_s));
    QVERIFY(hasCity(u"112"_s));

    // Every sample item, and a generated one, resolves; the last entry is never a real place.
    QJsonArray items = sampleItems();
    const auto generated = xmlChildren(gbk(get(itemQuery(generatedCode(3).toLatin1())).body));
    items.append(QJsonObject{{u"provinceId"_s, childText(generated, u"provinceId"_s)},
                             {u"cityId"_s, childText(generated, u"cityId"_s)}});
    for (const QJsonValue &item : std::as_const(items)) {
        bool ok = false;
        const int province = item[u"provinceId"].toString().toInt(&ok);
        QVERIFY(ok);
        QVERIFY(province >= 0 && province < provinces.size() - 1);
        QVERIFY2(hasCity(item[u"cityId"].toString()), qPrintable(item[u"cityId"].toString()));
    }
}

void TestSandbox::makerPages_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("primary") << QByteArray("www.pelmora.com");
    QTest::newRow("secondary") << QByteArray("soft.pelmora.com");
}

void TestSandbox::makerPages()
{
    QFETCH(QByteArray, host);

    const Reply copy = get("/soft/venlo/copy36.htm", host);
    QCOMPARE(copy.status, 200);
    QCOMPARE(copy.header("content-type"), "text/html; charset=GBK");
    const QString page = gbk(copy.body);
    QVERIFY(page.contains(u"店铺复制"_s));
    const QHash<int, QString> byNumber = slotValues(page);
    for (int slot = 0; slot <= 42; ++slot)
        QVERIFY2(byNumber.contains(slot), qPrintable(QString::number(slot)));
    QCOMPARE(byNumber.value(0), u"bb1.0"_s);
    QCOMPARE(byNumber.value(16), u"http://www.pelmora.com/notice.htm"_s);
    QCOMPARE(byNumber.value(28), u"<img"_s);
    QCOMPARE(byNumber.value(30), u"src=\""_s);
    QCOMPARE(byNumber.value(32), u"background=\""_s);
    // Slot 7 names the first item of the sample list, which the item service knows.
    const QString firstCode = sampleItems().at(0)[u"itemCode"].toString();
    QCOMPARE(byNumber.value(7), u"http://auction1.paipai.com/"_s + firstCode);
    QCOMPARE(childText(xmlChildren(gbk(get(itemQuery(firstCode.toLatin1())).body)), u"errorCode"_s), u"0"_s);

    const Reply app = get("/soft/venlo/copy_app35.htm", host);
    QCOMPARE(app.status, 200);
    const QString appPage = gbk(app.body);
    QVERIFY(appPage.contains(u"app"_s));
    const QHash<int, QString> appByNumber = slotValues(appPage);
    for (int slot = 0; slot <= 20; ++slot)
        QVERIFY2(appByNumber.contains(slot), qPrintable(QString::number(slot)));

    QCOMPARE(get("/soft/venlo/s_ver.txt", host).body, "3.6");
    QSize size;
    QCOMPARE(imageFormat(get("/soft/venlo/sy_pic1.jpg", host).body, &size), "jpeg");
    QCOMPARE(size, QSize(120, 40));
    QCOMPARE(imageFormat(get("/soft/venlo/sy_pic2.jpg", host).body, &size), "jpeg");
    QCOMPARE(size, QSize(80, 80));
}

void TestSandbox::invalidCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{u"--bogus"_s};
    QTest::newRow("missing value") << QStringList{u"--port"_s};
    QTest::newRow("bad number") << QStringList{u"--latency"_s, u"soon"_s};
    QTest::newRow("bad fault kind") << QStringList{u"--fault"_s, u"*=explode"_s};
    QTest::newRow("fault without kind") << QStringList{u"--fault"_s, u"www.pelmora.com"_s};
}

void TestSandbox::invalidCommandLine()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(SandboxProcess::executable(), arguments);
    QVERIFY(process.waitForFinished(10'000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(!process.readAllStandardError().isEmpty());
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
