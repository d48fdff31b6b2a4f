// Checks quorvex-sandbox from the outside with raw sockets, the way the product and
// its integration suites see it. Nothing of the product is used here.

#include "sandboxprocess.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
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
#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

using namespace Qt::Literals::StringLiterals;
using TestSupport::SandboxProcess;

namespace {

constexpr int ShopItems = 50;
constexpr int ShopSeed = 7;
constexpr int ReplyTimeoutMs = 5000;

struct Reply
{
    int status = 0;                        // 0: no complete head arrived
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    qint64 declaredLength = -1;

    QByteArray header(const QByteArray &name) const { return headers.value(name); }
};

bool waitUntil(QIODevice &device, const QDeadlineTimer &deadline, const std::function<bool()> &ready)
{
    while (!ready()) {
        if (deadline.hasExpired() ||
            !device.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return ready();
    }
    return true;
}

// Reads exactly one answer, leaving anything after it (a pipelined answer) in the device.
// At most bodyLimit bytes of the body are read when it is not negative.
Reply readReply(QIODevice &device, int timeoutMs = ReplyTimeoutMs, qint64 bodyLimit = -1)
{
    const QDeadlineTimer deadline(timeoutMs);
    const auto lineReady = [&device] { return device.canReadLine(); };
    Reply reply;
    if (!waitUntil(device, deadline, lineReady))
        return reply;
    const QList<QByteArray> statusLine = device.readLine().trimmed().split(' ');
    if (statusLine.size() < 2 || !statusLine.first().startsWith("HTTP/1."))
        return reply;
    while (true) {
        if (!waitUntil(device, deadline, lineReady))
            return reply;
        const QByteArray line = device.readLine().trimmed();
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        reply.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    reply.declaredLength = reply.header("content-length").toLongLong();
    const qint64 wanted = bodyLimit < 0 ? reply.declaredLength : std::min(bodyLimit, reply.declaredLength);
    while (reply.body.size() < wanted) {
        const auto bodyReady = [&device] { return device.bytesAvailable() > 0; };
        if (!waitUntil(device, deadline, bodyReady))
            break;
        reply.body += device.read(wanted - reply.body.size());
    }
    reply.status = statusLine.at(1).toInt();
    return reply;
}

#ifdef Q_OS_UNIX
// The answer in bytes that have already arrived in full.
Reply parseReply(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readReply(buffer, 0);
}

// What one exchange over a plain socket brought, and how the server ended it. Qt reports a
// reset like an orderly close, so telling the two apart takes the system's own calls.
struct RawExchange
{
    QByteArray received;
    bool closed = false; // orderly end (FIN)
    bool reset = false;  // ECONNRESET
};

RawExchange rawExchange(quint16 port, const QByteArray &request)
{
    RawExchange result;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return result;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        ::send(fd, request.constData(), size_t(request.size()), 0) == ssize_t(request.size())) {
        const QDeadlineTimer deadline(ReplyTimeoutMs);
        std::vector<char> buffer(64 * 1024);
        while (!deadline.hasExpired()) {
            pollfd waiting{fd, POLLIN, 0};
            if (::poll(&waiting, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
                break;
            const ssize_t received = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (received > 0) {
                result.received.append(buffer.data(), qsizetype(received));
                continue;
            }
            if (received == 0)
                result.closed = true;
            else
                result.reset = errno == ECONNRESET;
            break;
        }
    }
    ::close(fd);
    return result;
}
#endif

// The resident memory of a process in KiB, or -1 where the system does not tell.
qint64 residentKiB(qint64 pid)
{
    QFile status(u"/proc/"_s + QString::number(pid) + u"/status"_s);
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
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
    return "GET " + url + " HTTP/1.1\r\nHost: " + host + "\r\nProxy-Connection: keep-alive\r\n" + extra +
           "\r\n";
}

#ifdef Q_OS_WIN
// The Windows Qt has no ICU: the system's code page 936 tables read and write GBK there.
QString gbk(const QByteArray &bytes)
{
    const int length = int(bytes.size());
    QString text(length, Qt::Uninitialized);
    const int written = ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.constData(), length,
                                              reinterpret_cast<wchar_t *>(text.data()), length);
    if (written <= 0 && length > 0)
        return {};
    text.resize(written);
    return text;
}

QByteArray toGbk(const QString &text)
{
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    const int written =
        ::WideCharToMultiByte(936, 0, wide, int(text.size()), bytes.data(), int(bytes.size()), "?", nullptr);
    bytes.resize(qMax(written, 0));
    return bytes;
}
#else
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
#endif

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

QJsonArray dataItems(const QString &fileName)
{
    QFile file(SandboxProcess::dataDir() + u'/' + fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value(u"items").toArray();
}

QJsonArray sampleItems()
{
    return dataItems(u"items.json"_s);
}

// Items made to break clients: codes and titles that climb out of folders, control characters.
QJsonArray hostileItemList()
{
    return dataItems(u"hostile-items.json"_s);
}

QString generatedCode(int index, quint32 seed = ShopSeed)
{
    return QString::number(seed, 16).toUpper().rightJustified(8, u'0') +
           QString::number(index, 16).toUpper().rightJustified(24, u'0');
}

QStringList generatedCodes(quint32 seed, int from, int to)
{
    QStringList codes;
    for (int i = from; i < to; ++i)
        codes.append(generatedCode(i, seed));
    return codes;
}

// The sample list's items, in its order, as (code, title).
QList<std::pair<QString, QString>> sampleList()
{
    QList<std::pair<QString, QString>> entries;
    QFile file(SandboxProcess::dataDir() + u"/sample-list.txt"_s);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    const QRegularExpression lineShape(u"^网址ID:([0-9A-F]{32})：(.+)$"_s);
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = lineShape.match(line.trimmed());
        if (match.hasMatch())
            entries.append({match.captured(1), match.captured(2)});
    }
    return entries;
}

QJsonObject sampleItem(const QString &code)
{
    for (const QJsonValue &item : sampleItems()) {
        if (item[u"itemCode"].toString() == code)
            return item.toObject();
    }
    return {};
}

QByteArray itemQuery(const QByteArray &code)
{
    return "/item/getItem.xhtml?format=xml&itemCode=" + code +
           "&needParseAttr=1&needDetailInfo=1&needExtendInfo=0";
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

// The text between two markers. A null string unless the end marker's first appearance
// anywhere in the text comes after the start marker: pages are read by first
// appearances, so a marker seen earlier would cut the wrong piece.
QString between(const QString &text, const QString &start, const QString &end)
{
    const qsizetype startAt = text.indexOf(start);
    const qsizetype endAt = text.indexOf(end);
    if (startAt < 0 || endAt < startAt + start.size())
        return {};
    return text.mid(startAt + start.size(), endAt - startAt - start.size());
}

// The text after marker1, then after marker2 (each only if not blank), up to endMarker.
QString cutAfter(QString text, const QString &marker1, const QString &marker2, const QString &endMarker)
{
    for (const QString &marker : {marker1, marker2}) {
        if (marker.trimmed().isEmpty())
            continue;
        const qsizetype at = text.indexOf(marker);
        if (at < 0)
            return {};
        text = text.mid(at + marker.size());
    }
    const qsizetype end = text.indexOf(endMarker);
    return end < 0 ? QString() : text.left(end);
}

struct StockRead
{
    bool noVariants = false;
    QStringList variants; // "properties|price|quantity"
    int unclosedRows = 0;
    QString section;
    QString picture;
};

// Reads a stock page with the markers of ks_set.htm.
StockRead readStockPage(const QString &page, const QHash<int, QString> &params)
{
    StockRead read;
    read.noVariants = page.contains(params.value(30));
    read.section = between(page, params.value(3), params.value(4));
    QString rest = read.section;
    while (true) {
        const qsizetype at = rest.indexOf(params.value(7));
        if (at < 0)
            break;
        rest = rest.mid(at + params.value(7).size());
        const qsizetype end = rest.indexOf(params.value(8));
        if (end < 0) {
            ++read.unclosedRows;
            break;
        }
        const QString record = rest.left(end);
        rest = rest.mid(end + params.value(8).size());
        read.variants.append(cutAfter(record, params.value(9), params.value(10), params.value(11)) + u'|' +
                             cutAfter(record, params.value(12), params.value(13), params.value(14)) + u'|' +
                             cutAfter(record, params.value(15), params.value(16), params.value(17)));
    }
    read.picture =
        between(between(page, params.value(28), params.value(29)), params.value(5), params.value(6));
    read.picture.remove(params.value(26)).remove(params.value(27));
    return read;
}

struct Listed
{
    QString code;
    QString name;
};

// Reads a shop listing page with the markers of copy_fwz33.htm; kind 1 or 2 picks the
// item host's marker. total is -1 when the page gives none.
QList<Listed> readListing(const QString &page, const QHash<int, QString> &params, int kind, int *total)
{
    bool ok = false;
    *total = cutAfter(page, params.value(4), params.value(5), params.value(6)).toInt(&ok);
    if (!ok)
        *total = -1;
    QList<Listed> items;
    const QString codeMarker = params.value(kind == 1 ? 12 : 18);
    const QStringList records = between(page, params.value(8), params.value(9)).split(params.value(10));
    for (qsizetype i = 1; i < records.size(); ++i) {
        QString record = records.at(i);
        if (record.startsWith(params.value(11)))
            record = record.mid(params.value(11).size());
        const qsizetype at = record.indexOf(codeMarker);
        if (at < 0) {
            items.append(Listed{});
            continue;
        }
        record = record.mid(at + codeMarker.size());
        QString code = record.left(record.indexOf(params.value(13)));
        if (const qsizetype cut = code.indexOf(params.value(19)); cut >= 0)
            code.truncate(cut);
        items.append({code, between(record, params.value(14), params.value(15))});
    }
    return items;
}

QString fillTemplate(QString address, const QString &qqid, const QString &lm, const QString &key, int page)
{
    return address.replace(u"{qqid}"_s, qqid)
        .replace(u"{lm}"_s, lm)
        .replace(u"{key}"_s, key)
        .replace(u"{p}"_s, QString::number(page));
}

// ---- the open-platform gateway ----
using GatewayParameters = QList<std::pair<QString, QString>>;

QString gatewayTimestamp(qint64 offsetSeconds = 0)
{
    return QDateTime::currentDateTime().addSecs(offsetSeconds).toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

// secret + name + value ... + secret over the names in ascending order: the platform's signature.
QString gatewaySignature(const QString &secret, GatewayParameters parameters)
{
    std::sort(parameters.begin(), parameters.end());
    QString text = secret;
    for (const auto &[name, value] : parameters)
        text += name + value;
    text += secret;
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

// The query in the order given, values percent-encoded except "+", which the gateway reads as a space.
QByteArray gatewayQuery(const GatewayParameters &parameters)
{
    QByteArrayList pieces;
    for (const auto &[name, value] : parameters)
        pieces.append(name.toUtf8() + '=' + QUrl::toPercentEncoding(value, "+"));
    return pieces.join('&');
}

// The root element's name and whether the whole reply is well-formed XML.
std::pair<QString, bool> xmlRoot(const QByteArray &body)
{
    QXmlStreamReader reader(body);
    const QString root = reader.readNextStartElement() ? reader.name().toString() : QString();
    while (!reader.atEnd())
        reader.readNext();
    return {root, !reader.hasError()};
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
    void brokenTransfers_data();
    void brokenTransfers();
    void cutAnswers_data();
    void cutAnswers();
    void garbagePictures_data();
    void garbagePictures();
    void oversizeAnswers_data();
    void oversizeAnswers();
    void oversizeStreamsGigabytes();
    void redirectLoop_data();
    void redirectLoop();
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
    void gatewayReplies_data();
    void gatewayReplies();
    void gatewayRefusals_data();
    void gatewayRefusals();
    void sellerListingPages_data();
    void sellerListingPages();
    void stockParameters_data();
    void stockParameters();
    void stockPages_data();
    void stockPages();
    void generatedStockPages_data();
    void generatedStockPages();
    void collectionParameters_data();
    void collectionParameters();
    void shopListings_data();
    void shopListings();
    void collectionTemplates();
    void listingRedirect_data();
    void listingRedirect();
    void shopFrontPages_data();
    void shopFrontPages();
    void sharedPictureShop();
    void hostileItems_data();
    void hostileItems();
    void hostileShop();
    void invalidCommandLine_data();
    void invalidCommandLine();

private:
    Reply get(const QByteArray &pathAndQuery, const QByteArray &host = "api.paipai.com");
    Reply send(const QByteArray &request);
    // Through the sandbox as a proxy, as the product asks.
    Reply fetch(const QByteArray &url);
    QHash<int, QString> parameterSlots(const QByteArray &path);
    // A call of the open-platform gateway that copy36.htm names.
    Reply callGateway(const GatewayParameters &parameters);

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

Reply TestSandbox::fetch(const QByteArray &url)
{
    return send(proxyRequest(url, "Connection: close\r\n"));
}

QHash<int, QString> TestSandbox::parameterSlots(const QByteArray &path)
{
    const Reply reply = get(path, "www.pelmora.com");
    return reply.status == 200 ? slotValues(gbk(reply.body)) : QHash<int, QString>();
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
    QTest::newRow("generated last") << generatedCode(ShopItems - 1).toLatin1()
                                    << generatedCode(ShopItems - 1);
    QTest::newRow("generated past the end") << generatedCode(ShopItems).toLatin1() << QString();
    QTest::newRow("generated, other seed")
        << QString(u"00000008"_s + generatedCode(1).mid(8)).toLatin1() << QString();
    QTest::newRow("big shop 4001, last item")
        << generatedCode(19999, 4001).toLatin1() << generatedCode(19999, 4001);
    QTest::newRow("big shop 4001, past the end") << generatedCode(20000, 4001).toLatin1() << QString();

    // Codes that are paths arrive as the product puts them into the address: as they are,
    // or percent-encoded. They match exactly.
    const QString escape = u"../../../../tmp/quorvex-escape"_s;
    const QString backslashes = u"..\\..\\..\\quorvex-escape2"_s;
    const QString drive = u"C:\\quorvex-escape3"_s;
    const QString absolute = u"/tmp/quorvex-escape4"_s;
    QTest::newRow("path code, raw") << escape.toLatin1() << escape;
    QTest::newRow("path code, percent-encoded") << QUrl::toPercentEncoding(escape) << escape;
    QTest::newRow("backslash code, raw") << backslashes.toLatin1() << backslashes;
    QTest::newRow("backslash code, percent-encoded") << QUrl::toPercentEncoding(backslashes) << backslashes;
    QTest::newRow("drive code, raw") << drive.toLatin1() << drive;
    QTest::newRow("absolute code, raw") << absolute.toLatin1() << absolute;
    QTest::newRow("absolute code, spaces as +") << QByteArray("+" + absolute.toLatin1() + "+") << absolute;
    QTest::newRow("path code, other letter case") << absolute.toUpper().toLatin1() << QString();
    QTest::newRow("path code, one level more") << QByteArray("../" + escape.toLatin1()) << QString();
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
    QTest::newRow("item service") << QByteArray("http://api.paipai.com" +
                                                itemQuery("0C7D360B00000000040100000CC1B772"))
                                  << 200;
    QTest::newRow("city table") << QByteArray("http://static.paipaiimg.com/js/cities.js") << 200;
    QTest::newRow("picture") << QByteArray("http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg") << 200;
    QTest::newRow("item page") << QByteArray("http://auction1.paipai.com/0C7D360B00000000040100000CC1B772")
                               << 200;
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
    QTest::newRow("1.1 Close, mixed case")
        << QByteArray("HTTP/1.1") << QByteArray("connection: Close\r\n") << false;
    QTest::newRow("1.0 default") << QByteArray("HTTP/1.0") << QByteArray() << false;
    QTest::newRow("1.0 keep-alive") << QByteArray("HTTP/1.0") << QByteArray("Connection: Keep-Alive\r\n")
                                    << true;
    QTest::newRow("1.0 proxy keep-alive")
        << QByteArray("HTTP/1.0") << QByteArray("Proxy-Connection: keep-alive\r\n") << true;
}

void TestSandbox::connectionReuse()
{
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, connectionHeader);
    QFETCH(bool, staysOpen);

    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    const QByteArray request = "GET http://static.paipaiimg.com/js/cities.js " + version +
                               "\r\nHost: static.paipaiimg.com\r\n" + connectionHeader + "\r\n";
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
    socket.write(originRequest("/soft/venlo/s_ver.txt", "www.pelmora.com") +
                 originRequest("/no/such/thing", "www.pelmora.com") +
                 originRequest("/soft/venlo/s_ver.txt", "soft.pelmora.com", "Connection: close\r\n"));
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
    QTest::newRow("bad length") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nContent-Length: x\r\n\r\n")
                                << 400;
    QTest::newRow("chunked body") << QByteArray(
                                         "GET / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n")
                                  << 400;
    QTest::newRow("POST")
        << QByteArray("POST /item/getItem.xhtml HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc") << 405;
    QTest::newRow("HEAD") << QByteArray("HEAD /js/cities.js HTTP/1.1\r\nHost: a\r\n\r\n") << 405;
    QTest::newRow("CONNECT") << QByteArray(
                                    "CONNECT api.paipai.com:443 HTTP/1.1\r\nHost: api.paipai.com\r\n\r\n")
                             << 405;
    QTest::newRow("head too large") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nX-Filler: " +
                                                  QByteArray(70 * 1024, 'x') + "\r\n\r\n")
                                    << 431;
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
    QCOMPARE(
        send(proxyRequest("http://soft.pelmora.com/soft/venlo/copy36.htm", "Connection: close\r\n")).status,
        200);
    QCOMPARE(send(proxyRequest("http://www.pelmora.com/soft/venlo/copy_app35.htm", "Connection: close\r\n"))
                 .status,
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

void TestSandbox::brokenTransfers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("reset");
    QTest::newRow("reset-body, page")
        << u"reset-body"_s << QByteArray("www.pelmora.com") << QByteArray("/soft/venlo/copy36.htm") << true;
    QTest::newRow("reset-body, large picture") << u"reset-body"_s << QByteArray("img1.paipaiimg.com")
                                               << QByteArray("/a1/0C7D360B/desc/a.jpg_big.jpg") << true;
    QTest::newRow("truncate, page") << u"truncate"_s << QByteArray("www.pelmora.com")
                                    << QByteArray("/soft/venlo/copy36.htm") << false;
}

void TestSandbox::brokenTransfers()
{
#ifndef Q_OS_UNIX
    QSKIP("telling a reset from a close needs the system's own socket calls");
#else
    QFETCH(QString, kind);
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, path);
    QFETCH(bool, reset);

    const Reply normal = get(path, host);
    QCOMPARE(normal.status, 200);
    m_sandbox->addFault(QString::fromLatin1(host + path), kind);

    const RawExchange exchange = rawExchange(m_sandbox->port(), originRequest(path, host));
    // reset-body ends in RST (a transfer broken off), truncate in an orderly close.
    QCOMPARE(exchange.reset, reset);
    QCOMPARE(exchange.closed, !reset);
    const Reply reply = parseReply(exchange.received);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), normal.header("content-type"));
    // The whole length is announced; the first half of the body arrives, nothing more.
    QCOMPARE(reply.declaredLength, normal.body.size());
    QCOMPARE(reply.body, normal.body.first(normal.body.size() / 2));
#endif
}

void TestSandbox::cutAnswers_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("item document") << QByteArray("api.paipai.com")
                                   << itemQuery("0C7D360B00000000040100000CC1B772");
    QTest::newRow("page") << QByteArray("www.pelmora.com") << QByteArray("/soft/venlo/copy36.htm");
    QTest::newRow("picture") << QByteArray("img1.paipaiimg.com") << QByteArray("/a1/0C7D360B/main1.jpg");
}

void TestSandbox::cutAnswers()
{
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, path);

    const Reply normal = get(path, host);
    QCOMPARE(normal.status, 200);
    m_sandbox->addFault(QString::fromLatin1(host + path), u"cut"_s);

    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    socket.write(originRequest(path, host));
    const Reply reply = readReply(socket);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), normal.header("content-type"));
    // A well-formed answer, honestly framed, whose content stops halfway.
    const QByteArray half = normal.body.first(normal.body.size() / 2);
    QCOMPARE(reply.declaredLength, half.size());
    QCOMPARE(reply.body, half);
    if (path.startsWith("/item/"))
        QVERIFY(!reply.body.contains("</itemInfo>"));
    // So the connection goes on serving.
    socket.write(originRequest("/soft/venlo/s_ver.txt", "www.pelmora.com"));
    const Reply next = readReply(socket);
    QCOMPARE(next.status, 200);
    QCOMPARE(next.body, "3.6");
}

void TestSandbox::garbagePictures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("png") << u"garbage:png"_s << QByteArray("image/png") << QByteArray("\x89PNG\r\n\x1a\n", 8)
                         << QByteArray("png");
    QTest::newRow("jpeg") << u"garbage:jpeg"_s << QByteArray("image/jpeg")
                          << QByteArray("\xFF\xD8\xFF\xE0", 4) << QByteArray("jpeg");
}

void TestSandbox::garbagePictures()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, signature);
    QFETCH(QByteArray, format);

    m_sandbox->addFault(u"img1.paipaiimg.com/*"_s, kind);
    for (const QByteArray &path :
         {QByteArray("/a1/0C7D360B/main1.jpg"), QByteArray("/no/such/picture.png")}) {
        const Reply reply = get(path, "img1.paipaiimg.com");
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.header("content-type"), contentType);
        QVERIFY(reply.body.startsWith(signature));
        QCOMPARE(reply.body.size(), signature.size() + 4096);

        // A reader recognises the format by its signature, and can learn nothing more.
        QBuffer buffer;
        buffer.setData(reply.body);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        QCOMPARE(reader.format(), format);
        QVERIFY(!reader.size().isValid());
        QVERIFY(reader.read().isNull());

        // The same garbage every time.
        QCOMPARE(get(path, "img1.paipaiimg.com").body, reply.body);
    }
}

void TestSandbox::oversizeAnswers_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("less than the body")
        << QByteArray("www.pelmora.com") << QByteArray("/soft/venlo/copy36.htm") << qint64(10);
    QTest::newRow("page padded to 3 MB")
        << QByteArray("www.pelmora.com") << QByteArray("/soft/venlo/copy36.htm") << qint64(3'000'000);
    QTest::newRow("picture padded to 20 MiB")
        << QByteArray("img1.paipaiimg.com") << QByteArray("/a1/0C7D360B/main1.jpg")
        << qint64(20 * 1024 * 1024 + 1);
}

void TestSandbox::oversizeAnswers()
{
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, path);
    QFETCH(qint64, bytes);

    const Reply normal = get(path, host);
    QCOMPARE(normal.status, 200);
    m_sandbox->addFault(QString::fromLatin1(host + path), u"oversize:"_s + QString::number(bytes));

    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    socket.write(proxyRequest("http://" + host + path));
    const Reply reply = readReply(socket, 30'000);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), normal.header("content-type"));
    QCOMPARE(reply.declaredLength, bytes);
    QCOMPARE(reply.body.size(), bytes);
    // The real body first, then filler up to the announced size.
    const qsizetype real = qsizetype(std::min<qint64>(bytes, normal.body.size()));
    QCOMPARE(reply.body.first(real), normal.body.first(real));
    QCOMPARE(reply.body.count(' ') - normal.body.first(real).count(' '), bytes - real);

    // Honestly framed, so the connection carries on.
    socket.write(proxyRequest("http://www.pelmora.com/soft/venlo/s_ver.txt"));
    const Reply next = readReply(socket);
    QCOMPARE(next.status, 200);
    QCOMPARE(next.body, "3.6");
}

void TestSandbox::oversizeStreamsGigabytes()
{
    const QByteArray url = "http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg";
    const Reply normal = fetch(url);
    m_sandbox->addFault(u"img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s, u"oversize:4294967296"_s);

    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_sandbox->port());
    QVERIFY(socket.waitForConnected(ReplyTimeoutMs));
    socket.write(proxyRequest(url));
    const Reply head = readReply(socket, ReplyTimeoutMs, normal.body.size());
    QCOMPARE(head.status, 200);
    QCOMPARE(head.declaredLength, Q_INT64_C(4294967296));
    QCOMPARE(head.body, normal.body);

    // Well past anything a sandbox could hold for a few connections; it streams, so its
    // memory stays where it was.
    constexpr qint64 Sample = 64 * 1024 * 1024;
    qint64 received = 0;
    const QDeadlineTimer deadline(60'000);
    while (received < Sample && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(ReplyTimeoutMs))
            break;
        received += socket.read(1024 * 1024).size();
    }
    QVERIFY(received >= Sample);
    const qint64 resident = residentKiB(m_sandbox->processId());
    if (resident >= 0)
        QVERIFY2(resident < 128 * 1024, qPrintable(QString::number(resident) + u" KiB resident"_s));

    // A client that gives up costs nothing more.
    socket.abort();
    QCOMPARE(get("/soft/venlo/s_ver.txt").status, 200);
}

void TestSandbox::redirectLoop_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("location");

    const QByteArray item = "http://api.paipai.com" + itemQuery("0C7D360B00000000040100000CC1B772");
    QTest::newRow("proxy form") << proxyRequest(item) << item;
    const QByteArray self = "127.0.0.1:" + QByteArray::number(m_sandbox->port());
    QTest::newRow("origin form keeps the port")
        << originRequest("/soft/venlo/copy36.htm?v=1", self)
        << QByteArray("http://" + self + "/soft/venlo/copy36.htm?v=1");
    const QByteArray encoded = "http://shop.paipai.com/666/a%20b/list.xhtml?p=2&key=%E4%B8%AD";
    QTest::newRow("encoding kept as sent") << proxyRequest(encoded) << encoded;
}

void TestSandbox::redirectLoop()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, location);

    m_sandbox->addFault(u"*"_s, u"redirect-loop"_s);
    Reply reply = send(request);
    // Following the redirect only leads back to it.
    for (int hop = 0; hop < 3; ++hop) {
        QCOMPARE(reply.status, 302);
        QCOMPARE(reply.header("location"), location);
        QCOMPARE(reply.body.size(), reply.declaredLength);
        reply = fetch(location);
    }
    QCOMPARE(m_sandbox->counts()[u"total"].toInt(), 4);
}

void TestSandbox::countersAndReset()
{
    QCOMPARE(
        send(proxyRequest("http://static.paipaiimg.com/js/cities.js?v=20120508", "Connection: close\r\n"))
            .status,
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
        const QString expected =
            QString::fromUtf8(sampleList.readAll()).trimmed().replace(u"\n"_s, u"\r\n"_s);
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

    QTest::newRow("jpg") << QByteArray("/a1/0C7D360B/main1.jpg") << QByteArray("jpeg")
                         << QByteArray("image/jpeg");
    QTest::newRow("png") << QByteArray("/c3/2F4E6A8C/desc/plug.png") << QByteArray("png")
                         << QByteArray("image/png");
    QTest::newRow("bmp") << QByteArray("/c3/2F4E6A8C/main1.bmp") << QByteArray("bmp")
                         << QByteArray("image/bmp");
    QTest::newRow("gif") << QByteArray("/b2/1A2B3C4D/main1.gif") << QByteArray("gif")
                         << QByteArray("image/gif");
    QTest::newRow("ico") << QByteArray("/c3/2F4E6A8C/main2.ico") << QByteArray("ico")
                         << QByteArray("image/x-icon");
    // Named and typed as JPEG by the server; only the bytes tell.
    QTest::newRow("png named .jpg") << QByteArray("/b2/1A2B3C4D/main3.jpg") << QByteArray("png")
                                    << QByteArray("image/jpeg");
    QTest::newRow("query ignored") << QByteArray("/d4/3B5D7F91/main1.jpg?w=400&v=2") << QByteArray("jpeg")
                                   << QByteArray("image/jpeg");
    QTest::newRow("generated") << QByteArray("/gen/7/3/5.jpg") << QByteArray("jpeg")
                               << QByteArray("image/jpeg");
    QTest::newRow("shared") << QByteArray("/gen/4100/shared/sizes.jpg") << QByteArray("jpeg")
                            << QByteArray("image/jpeg");
    QTest::newRow("shared, query ignored") << QByteArray("/gen/4100/shared/shipping.jpg?item=3")
                                           << QByteArray("jpeg") << QByteArray("image/jpeg");
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
        QVERIFY2(reply.body.size() >= 15'000 && reply.body.size() <= 40'000,
                 qPrintable(QString::number(reply.body.size())));
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
    QCOMPARE(byNumber.value(0), u"http://gw.api.taobao.com/router/rest"_s);
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

Reply TestSandbox::callGateway(const GatewayParameters &parameters)
{
    const QByteArray gateway = parameterSlots("/soft/venlo/copy36.htm").value(0).toUtf8();
    return fetch(gateway + '?' + gatewayQuery(parameters));
}

void TestSandbox::gatewayReplies_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<GatewayParameters>("arguments");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QStringList>("pieces"); // in this order in the reply

    QTest::newRow("categories with sub-categories, the platform's order")
        << u"taobao.sellercats.list.get"_s << GatewayParameters{{u"nick"_s, u"quorvex_demo"_s}}
        << u"sellercats_list_get_response"_s
        << QStringList{
               u"<seller_cats list=\"true\"><seller_cat><cid>1101</cid><parent_cid>0</parent_cid><name>女装</name>"_s,
               u"<seller_cat><cid>1102</cid><parent_cid>1101</parent_cid><name>连衣裙</name>"_s,
               u"<cid>1104</cid><parent_cid>0</parent_cid><name>家居&amp;日用</name>"_s,
               u"<cid>1105</cid><parent_cid>1104</parent_cid><name>收纳整理</name>"_s};
    QTest::newRow("Chinese nick") << u"taobao.sellercats.list.get"_s
                                  << GatewayParameters{{u"nick"_s, u"小周的杂货铺"_s}}
                                  << u"sellercats_list_get_response"_s
                                  << QStringList{u"<name>新品#上架</name>"_s, u"<name>特价 专区</name>"_s};
    QTest::newRow("no categories") << u"taobao.sellercats.list.get"_s
                                   << GatewayParameters{{u"nick"_s, u"no_category_shop"_s}}
                                   << u"sellercats_list_get_response"_s
                                   << QStringList{
                                          u"<sellercats_list_get_response></sellercats_list_get_response>"_s};
    QTest::newRow("first items of a seller")
        << u"taobao.items.get"_s
        << GatewayParameters{{u"fields"_s, u"num_iid"_s},
                             {u"nicks"_s, u"quorvex_demo"_s},
                             {u"order_by"_s, u"delist_time"_s}}
        << u"items_get_response"_s
        << QStringList{
               u"<items list=\"true\"><item><num_iid>520000000101</num_iid></item>"
               u"<item><num_iid>520000000102</num_iid></item></items><total_results>2</total_results>"_s};
    QTest::newRow("a seller the items call does not list")
        << u"taobao.items.get"_s
        << GatewayParameters{{u"fields"_s, u"num_iid"_s},
                             {u"nicks"_s, u"page_only_shop"_s},
                             {u"order_by"_s, u"delist_time"_s}}
        << u"items_get_response"_s
        << QStringList{u"<items_get_response><total_results>0</total_results></items_get_response>"_s};
    QTest::newRow("postage template")
        << u"taobao.item.get"_s
        << GatewayParameters{{u"fields"_s, u"postage_id"_s}, {u"num_iid"_s, u"520000000101"_s}}
        << u"item_get_response"_s << QStringList{u"<item><postage_id>7310001</postage_id></item>"_s};
    QTest::newRow("location") << u"taobao.item.get"_s
                              << GatewayParameters{{u"fields"_s, u"location"_s},
                                                   {u"num_iid"_s, u"520000000201"_s}}
                              << u"item_get_response"_s
                              << QStringList{u"<location><city>深圳</city><state>广东</state></location>"_s};
    QTest::newRow("location without a state")
        << u"taobao.item.get"_s
        << GatewayParameters{{u"fields"_s, u"location"_s}, {u"num_iid"_s, u"520000000501"_s}}
        << u"item_get_response"_s << QStringList{u"<item><location><city>香港</city></location></item>"_s};
    QTest::newRow("an item of the page-only seller")
        << u"taobao.item.get"_s
        << GatewayParameters{{u"fields"_s, u"postage_id,location"_s}, {u"num_iid"_s, u"520000000301"_s}}
        << u"item_get_response"_s
        << QStringList{
               u"<postage_id>7310003</postage_id><location><city>上海</city><state>上海</state></location>"_s};
}

void TestSandbox::gatewayReplies()
{
    QFETCH(QString, method);
    QFETCH(GatewayParameters, arguments);
    QFETCH(QString, root);
    QFETCH(QStringList, pieces);

    const QHash<int, QString> pageSlots = parameterSlots("/soft/venlo/copy36.htm");
    GatewayParameters parameters{{u"app_key"_s, pageSlots.value(2)},
                                 {u"format"_s, u"xml"_s},
                                 {u"method"_s, method},
                                 {u"sign_method"_s, u"md5"_s},
                                 {u"timestamp"_s, gatewayTimestamp()},
                                 {u"v"_s, u"2.0"_s}};
    parameters += arguments;
    std::sort(parameters.begin(), parameters.end());
    parameters.append({u"sign"_s, gatewaySignature(pageSlots.value(1), parameters)});

    const Reply reply = callGateway(parameters);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), "text/xml;charset=UTF-8");
    QCOMPARE(xmlRoot(reply.body), std::make_pair(root, true));
    const QString text = QString::fromUtf8(reply.body);
    qsizetype at = 0;
    for (const QString &piece : pieces) {
        at = text.indexOf(piece, at);
        QVERIFY2(at >= 0, qPrintable(piece + u" in "_s + text));
    }
    QCOMPARE(m_sandbox->hostCount(u"gw.api.taobao.com/router/rest"_s), 1);
}

void TestSandbox::gatewayRefusals_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("code");
    QTest::newRow("correct call") << QString() << QString();
    QTest::newRow("bad signature") << u"sign"_s << u"25"_s;
    QTest::newRow("signed with another secret") << u"secret"_s << u"25"_s;
    QTest::newRow("no signature") << u"no sign"_s << u"24"_s;
    QTest::newRow("unknown nick") << u"nick"_s << u"15"_s;
    QTest::newRow("timestamp eleven minutes old") << u"stale"_s << u"31"_s;
    QTest::newRow("timestamp eleven minutes ahead") << u"ahead"_s << u"31"_s;
    QTest::newRow("timestamp nine minutes old") << u"nine minutes"_s << QString();
    QTest::newRow("timestamp in another form") << u"timestamp form"_s << u"31"_s;
    QTest::newRow("wrong app key") << u"app key"_s << u"29"_s;
    QTest::newRow("unknown method") << u"method"_s << u"22"_s;
    QTest::newRow("parameters out of order") << u"order"_s << u"41"_s;
    QTest::newRow("sign not last") << u"sign first"_s << u"41"_s;
    QTest::newRow("json format") << u"format"_s << u"23"_s;
    QTest::newRow("plus in the nick is a space") << u"plus"_s << QString();
}

void TestSandbox::gatewayRefusals()
{
    QFETCH(QString, change);
    QFETCH(QString, code);

    const QHash<int, QString> pageSlots = parameterSlots("/soft/venlo/copy36.htm");
    const qint64 offset = change == u"stale"          ? -660
                          : change == u"ahead"        ? 660
                          : change == u"nine minutes" ? -540
                                                      : 0;
    QString timestamp = gatewayTimestamp(offset);
    if (change == u"timestamp form")
        timestamp = QDateTime::currentDateTime().toString(Qt::ISODate);
    GatewayParameters parameters{
        {u"app_key"_s, change == u"app key" ? u"87654321"_s : pageSlots.value(2)},
        {u"format"_s, change == u"format" ? u"json"_s : u"xml"_s},
        {u"method"_s, change == u"method" ? u"taobao.shop.get"_s : u"taobao.sellercats.list.get"_s},
        {u"nick"_s, change == u"nick"   ? u"nobody_here"_s
                    : change == u"plus" ? u"no+state_shop"_s
                                        : u"no_state_shop"_s},
        {u"sign_method"_s, u"md5"_s},
        {u"timestamp"_s, timestamp},
        {u"v"_s, u"2.0"_s}};
    GatewayParameters signedOver = parameters;
    if (change == u"plus")
        signedOver[3].second = u"no state_shop"_s; // what the platform reads
    QString sign =
        gatewaySignature(change == u"secret" ? u"another secret"_s : pageSlots.value(1), signedOver);
    if (change == u"sign")
        sign.replace(0, 1, sign.at(0) == u'A' ? u"B"_s : u"A"_s);
    if (change == u"order")
        std::swap(parameters[0], parameters[1]);
    if (change == u"sign first")
        parameters.prepend({u"sign"_s, sign});
    else if (change != u"no sign")
        parameters.append({u"sign"_s, sign});

    const Reply reply = callGateway(parameters);
    QCOMPARE(reply.status, 200);
    const QString text = QString::fromUtf8(reply.body);
    if (code.isEmpty() && change == u"plus") {
        // Read as "no state_shop": signed right, but no such seller.
        QVERIFY2(text.contains(u"<code>15</code>"_s), qPrintable(text));
        return;
    }
    if (code.isEmpty()) {
        QCOMPARE(xmlRoot(reply.body), std::make_pair(u"sellercats_list_get_response"_s, true));
        return;
    }
    QCOMPARE(xmlRoot(reply.body), std::make_pair(u"error_response"_s, true));
    QVERIFY2(text.contains(u"<code>"_s + code + u"</code>"_s), qPrintable(text));
    QVERIFY(text.contains(u"<msg>"_s));
}

void TestSandbox::sellerListingPages_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("firstItem");
    QTest::newRow("page-only seller") << u"page_only_shop"_s << u"520000000301"_s;
    QTest::newRow("Chinese nick") << u"小周的杂货铺"_s << u"520000000201"_s;
    QTest::newRow("no items") << u"empty_shop"_s << QString();
    QTest::newRow("unknown seller") << u"nobody_here"_s << QString();
}

void TestSandbox::sellerListingPages()
{
    QFETCH(QString, nick);
    QFETCH(QString, firstItem);

    const Reply page = get("/soft/venlo/f_1sp.htm", "www.pelmora.com");
    QCOMPARE(page.status, 200);
    QVERIFY(gbk(page.body).contains(u"找首个商品"_s));
    const QHash<int, QString> pageSlots = slotValues(gbk(page.body));
    QVERIFY(pageSlots.value(0).contains(u"{zg}"_s));

    const QString address = QString(pageSlots.value(0)).replace(u"{zg}"_s, nick);
    const Reply listing = fetch(QUrl(address).toEncoded());
    QCOMPARE(listing.status, 200);
    QCOMPARE(listing.header("content-type"), "text/html; charset=GBK");
    const QString html = gbk(listing.body);
    QVERIFY(!html.isEmpty());
    // Another shop's item stands before the list: only marker 1 finds the seller's own.
    QVERIFY(html.indexOf(pageSlots.value(2)) < html.indexOf(pageSlots.value(1)) || firstItem.isEmpty());
    QCOMPARE(cutAfter(html, pageSlots.value(1), pageSlots.value(2), pageSlots.value(3)), firstItem);
}

void TestSandbox::stockParameters_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("path");
    // The product asks the primary host with a query and the secondary without.
    QTest::newRow("primary") << QByteArray("www.pelmora.com") << QByteArray("/soft/venlo/ks_set.htm?21212");
    QTest::newRow("secondary") << QByteArray("soft.pelmora.com") << QByteArray("/soft/venlo/ks_set.htm");
}

void TestSandbox::stockParameters()
{
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, path);

    const Reply reply = get(path, host);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), "text/html; charset=GBK");
    const QString page = gbk(reply.body);
    QVERIFY(page.contains(u"找库存参数"_s));
    QVERIFY(!page.contains(u"找网址参数"_s));
    const QHash<int, QString> params = slotValues(page);
    for (int slot = 0; slot <= 30; ++slot)
        QVERIFY2(params.contains(slot), qPrintable(QString::number(slot)));
    QCOMPARE(params.value(0), u"http://auction1.paipai.com/stock/{spid}.xhtml"_s);
    QCOMPARE(params.value(1), u"<Stock"_s);
    QCOMPARE(params.value(24), u" Attr="_s);
    QCOMPARE(params.value(25), u" List=\""_s);
    // Every marker the product cuts with is there; 10, 13 and 16 too, so both start markers are used.
    for (int slot : {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 28, 29, 30})
        QVERIFY2(!params.value(slot).trimmed().isEmpty(), qPrintable(QString::number(slot)));
}

void TestSandbox::stockPages_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("noVariants");
    QTest::addColumn<QStringList>("variants"); // "properties|price|quantity", complete rows only
    QTest::addColumn<int>("unclosedRows");

    QTest::newRow("three variants") << u"0C7D360B00000000040100000CC1B772"_s << 200 << false
                                    << QStringList{u"颜色:驼色;尺码:S|26800|10"_s,
                                                   u"颜色:驼色;尺码:M|26800|15"_s,
                                                   u"颜色:驼色;尺码:L|27800|10"_s}
                                    << 0;
    QTest::newRow("code in lower case")
        << u"0c7d360b00000000040100000cc1b772"_s << 200 << false
        << QStringList{u"颜色:驼色;尺码:S|26800|10"_s, u"颜色:驼色;尺码:M|26800|15"_s,
                       u"颜色:驼色;尺码:L|27800|10"_s}
        << 0;
    QTest::newRow("one variant") << u"1A2B3C4D00000000050200000DD2C883"_s << 200 << false
                                 << QStringList{u"颜色:蓝格;规格:1.8m|15900|120"_s} << 0;
    QTest::newRow("price not a number")
        << u"2F4E6A8C00000000060300000EE3D994"_s << 200 << false
        << QStringList{u"输出:12V 1A;接口:5.5x2.1mm|面议|600"_s, u"输出:12V 2A;接口:5.5x2.1mm|2500|399"_s}
        << 0;
    QTest::newRow("no variants") << u"5D7F91B30000000009060000111600C7"_s << 200 << true << QStringList()
                                 << 0;
    QTest::newRow("last row unclosed")
        << u"6E80A2C4000000000A07000012271108"_s << 200 << false
        << QStringList{u"颜色:军绿;尺码:41|23900|80"_s, u"颜色:军绿;尺码:42|23900|100"_s} << 1;
    QTest::newRow("sample without a stock page")
        << u"3B5D7F9100000000070400000FF4EAA5"_s << 404 << false << QStringList() << 0;
    QTest::newRow("unknown item") << u"8A0B1C2D000000000C0900001449330E"_s << 404 << false << QStringList()
                                  << 0;
    QTest::newRow("not an item code") << u"index"_s << 404 << false << QStringList() << 0;
}

void TestSandbox::stockPages()
{
    QFETCH(QString, code);
    QFETCH(int, status);
    QFETCH(bool, noVariants);
    QFETCH(QStringList, variants);
    QFETCH(int, unclosedRows);

    const QHash<int, QString> params = parameterSlots("/soft/venlo/ks_set.htm?21212");
    QVERIFY(!params.isEmpty());
    QString address = params.value(0);
    address.replace(u"{spid}"_s, code);
    const Reply reply = fetch(address.toLatin1());
    QCOMPARE(reply.status, status);
    QVERIFY(reply.header("content-type").startsWith("text/html"));
    if (status != 200)
        return;

    QCOMPARE(reply.header("content-type"), "text/html; charset=GBK");
    const QString page = gbk(reply.body);
    QVERIFY(!page.isEmpty());
    const StockRead read = readStockPage(page, params);
    QCOMPARE(read.noVariants, noVariants);
    QCOMPARE(read.variants, variants);
    QCOMPARE(read.unclosedRows, unclosedRows);
    if (noVariants) {
        QVERIFY(read.section.isNull());
        QVERIFY(!page.contains(params.value(7)));
    } else {
        // The section goes into an attribute: after the deletions and replacements no quote or tag is left.
        QString attribute = read.section;
        attribute.remove(params.value(18)).remove(params.value(19));
        attribute.replace(params.value(20), params.value(21)).replace(params.value(22), params.value(23));
        QVERIFY(!attribute.isEmpty());
        QVERIFY2(!attribute.contains(u'"') && !attribute.contains(u'<') && !attribute.contains(u'>'),
                 qPrintable(attribute));
    }

    // The picture area shows the item's first picture, which the picture host serves.
    const QString firstPicture = sampleItem(code.toUpper())[u"pictures"].toArray().at(0).toString();
    QVERIFY(!firstPicture.isEmpty());
    QCOMPARE(read.picture, firstPicture);
    QVERIFY(!imageFormat(fetch(read.picture.toLatin1()).body).isEmpty());
}

void TestSandbox::generatedStockPages_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("command-line shop") << generatedCode(3);
    QTest::newRow("shop 999") << generatedCode(84, 999);
    QTest::newRow("shop 777") << generatedCode(0, 777);
}

void TestSandbox::generatedStockPages()
{
    QFETCH(QString, code);

    const QHash<int, QString> params = parameterSlots("/soft/venlo/ks_set.htm");
    const Reply reply = fetch("http://auction1.paipai.com/stock/" + code.toLatin1() + ".xhtml");
    QCOMPARE(reply.status, 200);
    const StockRead read = readStockPage(gbk(reply.body), params);
    QVERIFY(!read.noVariants);
    QCOMPARE(read.unclosedRows, 0);
    QCOMPARE(read.variants.size(), 2);

    // Made from the item's own values: its colour and size first, quantities adding up to its stock.
    const auto item = xmlChildren(gbk(get(itemQuery(code.toLatin1())).body));
    QCOMPARE(childText(item, u"errorCode"_s), u"0"_s);
    const QStringList first = read.variants.at(0).split(u'|');
    const QStringList second = read.variants.at(1).split(u'|');
    QCOMPARE(first.at(0), QString(childText(item, u"attr"_s)).replace(u'|', u';'));
    QCOMPARE(first.at(1), childText(item, u"itemPrice"_s));
    QVERIFY(first.at(0) != second.at(0));
    bool ok = false;
    QVERIFY(second.at(1).toInt(&ok) > 0 && ok);
    QCOMPARE(first.at(2).toInt() + second.at(2).toInt(), childText(item, u"stockCount"_s).toInt());
    QCOMPARE(read.picture, childText(item, u"picLink"_s));
}

void TestSandbox::collectionParameters_data()
{
    makerPages_data();
}

void TestSandbox::collectionParameters()
{
    QFETCH(QByteArray, host);

    const Reply reply = get("/soft/venlo/copy_fwz33.htm", host);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), "text/html; charset=GBK");
    const QString page = gbk(reply.body);
    QVERIFY(page.contains(u"找网址参数"_s));
    const QHash<int, QString> params = slotValues(page);
    const QHash<int, QString> expected = {
        {0, u"http://shop.paipai.com/{qqid}/list.xhtml?lm={lm}&p={p}"_s},
        {4, u"class=\"total\""_s},
        {5, u"<b>"_s},
        {6, u"</b>"_s},
        {8, u"<ul class=\"itemlist\">"_s},
        {9, u"</ul>"_s},
        {10, u"<li class=\"item\">"_s},
        {11, u"<a "_s},
        {12, u"href=\"http://auction1.paipai.com/"_s},
        {13, u"\""_s},
        {14, u"title=\""_s},
        {15, u"\">"_s},
        {16, u"http://shop.paipai.com/{qqid}/search.xhtml?lm={lm}&key={key}&p={p}"_s},
        {17, u"http://shop.wanggou.com/{qqid}/list.xhtml?lm={lm}&p={p}"_s},
        {18, u"href=\"http://auction1.wanggou.com/"_s},
        {19, u"?"_s},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QCOMPARE(params.value(it.key()), it.value());
}

void TestSandbox::shopListings_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("total");
    QTest::addColumn<QStringList>("codes");

    QStringList sampleCodes;
    for (const auto &[code, title] : sampleList())
        sampleCodes.append(code);
    QCOMPARE(sampleCodes.size(), 9);
    const QStringList shoes = {u"0C7D360B00000000040100000CC1B772"_s, u"3B5D7F9100000000070400000FF4EAA5"_s,
                               u"6E80A2C4000000000A07000012271108"_s};

    QTest::newRow("888 whole shop") << QByteArray("http://shop.paipai.com/888/list.xhtml?lm=0000000000&p=1")
                                    << 1 << 9 << sampleCodes;
    QTest::newRow("888 past the last page")
        << QByteArray("http://shop.paipai.com/888/list.xhtml?lm=0000000000&p=2") << 1 << 9 << QStringList();
    QTest::newRow("999 page 1") << QByteArray("http://shop.paipai.com/999/list.xhtml?lm=0000000000&p=1") << 1
                                << 85 << generatedCodes(999, 0, 40);
    QTest::newRow("999 page 3") << QByteArray("http://shop.paipai.com/999/list.xhtml?lm=0000000000&p=3") << 1
                                << 85 << generatedCodes(999, 80, 85);
    QTest::newRow("999 page 4") << QByteArray("http://shop.paipai.com/999/list.xhtml?lm=0000000000&p=4") << 1
                                << 85 << QStringList();
    QTest::newRow("other parameters ignored")
        << QByteArray("http://shop.paipai.com/999/list.xhtml?ptag=20000.1&p=2&lm=0000000000&sort=price") << 1
        << 85 << generatedCodes(999, 40, 80);
    QTest::newRow("no page number") << QByteArray("http://shop.paipai.com/999/list.xhtml?lm=0000000000") << 1
                                    << 85 << generatedCodes(999, 0, 40);
    QTest::newRow("page number not a number")
        << QByteArray("http://shop.paipai.com/999/list.xhtml?p=x") << 1 << 85 << generatedCodes(999, 0, 40);
    QTest::newRow("4000 page 1") << QByteArray("http://shop.paipai.com/4000/list.xhtml?lm=0000000000&p=1")
                                 << 1 << 8000 << generatedCodes(4000, 0, 40);
    QTest::newRow("4000 last page") << QByteArray(
                                           "http://shop.paipai.com/4000/list.xhtml?lm=0000000000&p=200")
                                    << 1 << 8000 << generatedCodes(4000, 7960, 8000);
    QTest::newRow("4000 past the last page")
        << QByteArray("http://shop.paipai.com/4000/list.xhtml?lm=0000000000&p=201") << 1 << 8000
        << QStringList();
    QTest::newRow("4001 page 250") << QByteArray("http://shop.paipai.com/4001/list.xhtml?lm=0000000000&p=250")
                                   << 1 << 20000 << generatedCodes(4001, 9960, 10000);
    QTest::newRow("4001 last page") << QByteArray(
                                           "http://shop.paipai.com/4001/list.xhtml?lm=0000000000&p=500")
                                    << 1 << 20000 << generatedCodes(4001, 19960, 20000);
    QTest::newRow("777 second shop host")
        << QByteArray("http://shop.wanggou.com/777/list.xhtml?lm=0000000000&p=1") << 2 << 12
        << generatedCodes(777, 0, 12);
    QTest::newRow("888 item list")
        << QByteArray("http://shop.paipai.com/888/search.xhtml?lm=1234567890&key=shoes&p=1") << 1 << 3
        << shoes;
    QTest::newRow("888 item list, category only")
        << QByteArray("http://shop.paipai.com/888/search.xhtml?lm=1234567890&key=&p=1") << 1 << 3 << shoes;
    QTest::newRow("888 item list, unknown key")
        << QByteArray("http://shop.paipai.com/888/search.xhtml?lm=1234567890&key=socks&p=1") << 1 << 0
        << QStringList();
    QTest::newRow("888 item list as buyers see it")
        << QByteArray("http://shop.paipai.com/888/-1234567890-/shoes/") << 1 << 3 << shoes;
    QTest::newRow("unknown shop") << QByteArray("http://shop.paipai.com/4321/list.xhtml?lm=0000000000&p=1")
                                  << 1 << 0 << QStringList();
    QTest::newRow("unknown shop, item list")
        << QByteArray("http://shop.paipai.com/4321/search.xhtml?lm=1234567890&key=shoes&p=1") << 1 << 0
        << QStringList();
    QTest::newRow("555 moved listing")
        << QByteArray("http://shop.paipai.com/555/v2/list.xhtml?lm=0000000000&p=1") << 1 << 3
        << QStringList{u"5D7F91B30000000009060000111600C7"_s, u"6E80A2C4000000000A07000012271108"_s,
                       u"7F91B3D5000000000B080000133822DF"_s};
}

void TestSandbox::shopListings()
{
    QFETCH(QByteArray, url);
    QFETCH(int, kind);
    QFETCH(int, total);
    QFETCH(QStringList, codes);

    const QHash<int, QString> params = parameterSlots("/soft/venlo/copy_fwz33.htm");
    QVERIFY(!params.isEmpty());
    const Reply reply = fetch(url);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), "text/html; charset=GBK");
    const QString page = gbk(reply.body);
    QVERIFY(!page.isEmpty());

    int shownTotal = -1;
    const QList<Listed> items = readListing(page, params, kind, &shownTotal);
    QCOMPARE(shownTotal, total);
    QStringList shownCodes;
    for (const Listed &item : items)
        shownCodes.append(item.code);
    QCOMPARE(shownCodes, codes);
    // The area is found even when it lists nothing.
    QVERIFY(!between(page, params.value(8), params.value(9)).isNull());
    // Item links are all of the shop's own kind.
    QVERIFY(!page.contains(params.value(kind == 1 ? 18 : 12)));
    if (kind == 2)
        QVERIFY(!page.contains(u"auction1.paipai.com"_s));

    // The name is the title as the shop shows it: HTML-escaped.
    const QHash<QString, QString> sampleTitles = [] {
        QHash<QString, QString> titles;
        for (const auto &[code, title] : sampleList())
            titles.insert(code, title);
        return titles;
    }();
    for (const Listed &item : items) {
        if (sampleTitles.contains(item.code))
            QCOMPARE(item.name, sampleTitles.value(item.code).toHtmlEscaped());
        else
            QVERIFY2(item.name.contains(u"款号Q"_s), qPrintable(item.name));
    }
}

void TestSandbox::collectionTemplates()
{
    // The addresses the product builds from the templates reach the right pages.
    const QHash<int, QString> params = parameterSlots("/soft/venlo/copy_fwz33.htm");
    const QString allCategories = u"0000000000"_s;
    int total = -1;

    const QString bigShop = fillTemplate(params.value(0), u"999"_s, allCategories, QString(), 3);
    QCOMPARE(bigShop, u"http://shop.paipai.com/999/list.xhtml?lm=0000000000&p=3"_s);
    QList<Listed> items = readListing(gbk(fetch(bigShop.toLatin1()).body), params, 1, &total);
    QCOMPARE(total, 85);
    QCOMPARE(items.size(), 5);
    // A big shop's items are known to the item service by the listed name, without --shop-items.
    const auto last = xmlChildren(gbk(get(itemQuery(items.last().code.toLatin1())).body));
    QCOMPARE(childText(last, u"errorCode"_s), u"0"_s);
    QCOMPARE(childText(last, u"itemName"_s).toHtmlEscaped(), items.last().name);

    const QString secondHost = fillTemplate(params.value(17), u"777"_s, allCategories, QString(), 1);
    items = readListing(gbk(fetch(secondHost.toLatin1()).body), params, 2, &total);
    QCOMPARE(total, 12);
    QCOMPARE(items.size(), 12);
    const auto first = xmlChildren(gbk(get(itemQuery(items.first().code.toLatin1())).body));
    QCOMPARE(childText(first, u"itemName"_s).toHtmlEscaped(), items.first().name);
    // The item pages behind the second host's links answer too.
    QCOMPARE(fetch("http://auction1.wanggou.com/" + items.first().code.toLatin1()).status, 200);

    const QString itemList = fillTemplate(params.value(16), u"888"_s, u"1234567890"_s, u"shoes"_s, 1);
    items = readListing(gbk(fetch(itemList.toLatin1()).body), params, 1, &total);
    QCOMPARE(total, 3);
    QCOMPARE(items.size(), 3);
}

void TestSandbox::listingRedirect_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("page 1") << QByteArray("lm=0000000000&p=1");
    QTest::newRow("page 2, extra parameter") << QByteArray("lm=0000000000&p=2&ptag=1");
}

void TestSandbox::listingRedirect()
{
    QFETCH(QByteArray, query);

    const Reply moved = fetch("http://shop.paipai.com/555/list.xhtml?" + query);
    QCOMPARE(moved.status, 302);
    const QByteArray location = moved.header("location");
    QCOMPARE(location, "http://shop.paipai.com/555/v2/list.xhtml?" + query);
    QVERIFY(moved.header("content-type").startsWith("text/html"));

    const Reply target = fetch(location);
    QCOMPARE(target.status, 200);
    int total = -1;
    const QList<Listed> items =
        readListing(gbk(target.body), parameterSlots("/soft/venlo/copy_fwz33.htm"), 1, &total);
    QCOMPARE(total, 3);
    QCOMPARE(items.size(), query.contains("p=1") ? 3 : 0);
}

void TestSandbox::shopFrontPages_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("links");

    const QStringList shop888 = {u"http://shop.paipai.com/888/list.xhtml?lm=0000000000&amp;p=1"_s,
                                 u"http://shop.paipai.com/888/-1234567890-/shoes/"_s,
                                 u"http://auction1.paipai.com/0C7D360B00000000040100000CC1B772?ptag=list"_s};
    QTest::newRow("888") << QByteArray("http://shop.paipai.com/888") << 200 << shop888;
    QTest::newRow("888/") << QByteArray("http://shop.paipai.com/888/") << 200 << shop888;
    QTest::newRow("888/index.shtml") << QByteArray("http://shop.paipai.com/888/index.shtml") << 200
                                     << shop888;
    QTest::newRow("777") << QByteArray("http://shop.wanggou.com/777") << 200
                         << QStringList{u"http://shop.wanggou.com/777/list.xhtml?lm=0000000000&amp;p=1"_s,
                                        u"http://auction1.wanggou.com/"_s + generatedCode(0, 777)};
    QTest::newRow("unknown shop") << QByteArray("http://shop.paipai.com/4321") << 404 << QStringList();
    QTest::newRow("moved listing of another shop")
        << QByteArray("http://shop.paipai.com/888/v2/list.xhtml?p=1") << 404 << QStringList();
    QTest::newRow("unknown page of a shop")
        << QByteArray("http://shop.paipai.com/888/about.htm") << 404 << QStringList();
}

void TestSandbox::shopFrontPages()
{
    QFETCH(QByteArray, url);
    QFETCH(int, status);
    QFETCH(QStringList, links);

    const Reply reply = fetch(url);
    QCOMPARE(reply.status, status);
    QVERIFY(reply.header("content-type").startsWith("text/html"));
    if (status != 200)
        return;
    QCOMPARE(reply.header("content-type"), "text/html; charset=GBK");
    const QString page = gbk(reply.body);
    const QString number = QRegularExpression(u"\\.com/(\\d+)"_s).match(QString::fromLatin1(url)).captured(1);
    QVERIFY(page.contains(u"店铺号："_s + number));
    for (const QString &link : links)
        QVERIFY2(page.contains(u"href=\""_s + link + u'"'), qPrintable(link));
}

// Shop 4100's items share their fourth main picture in fours and four description
// pictures with the whole shop; their own pictures stay their own.
void TestSandbox::sharedPictureShop()
{
    const auto picturesOf = [this](int index) {
        const Reply reply = get(itemQuery(generatedCode(index, 4100).toLatin1()));
        const auto children = xmlChildren(gbk(reply.body));
        QStringList pictures;
        for (const auto &[name, text] : children) {
            if (name.startsWith(u"picLink"))
                pictures.append(text);
        }
        static const QRegularExpression source(u"src=\"([^\"]+)\""_s);
        auto matches = source.globalMatch(unescapeHtml(childText(children, u"detailInfo"_s)));
        while (matches.hasNext())
            pictures.append(matches.next().captured(1));
        return pictures;
    };
    const QStringList first = picturesOf(0);
    QCOMPARE(first.size(), 10);
    QCOMPARE(first.at(3), u"http://img0.paipaiimg.com/gen/4100/shared/colours0.jpg"_s);
    QCOMPARE(first.mid(4), QStringList({u"http://img0.paipaiimg.com/gen/4100/shared/header.jpg"_s,
                                        u"http://img1.paipaiimg.com/gen/4100/shared/sizes.jpg"_s,
                                        u"http://img0.paipaiimg.com/gen/4100/0/4.jpg"_s,
                                        u"http://img1.paipaiimg.com/gen/4100/0/5.jpg"_s,
                                        u"http://img2.paipaiimg.com/gen/4100/shared/shipping.jpg?item=0"_s,
                                        u"http://img3.paipaiimg.com/gen/4100/shared/brand.jpg"_s}));
    const QStringList fourth = picturesOf(3);
    const QStringList fifth = picturesOf(4);
    QCOMPARE(fourth.at(3), first.at(3));
    QCOMPARE(fifth.at(3), u"http://img1.paipaiimg.com/gen/4100/shared/colours1.jpg"_s);
    QCOMPARE(fifth.at(4), first.at(4));
    QCOMPARE(fifth.at(8), u"http://img2.paipaiimg.com/gen/4100/shared/shipping.jpg?item=4"_s);
    QVERIFY(fifth.at(0) != first.at(0));
    QCOMPARE(get("/gen/4100/shared/brand.jpg", "img3.paipaiimg.com").body,
             get("/gen/4100/shared/brand.jpg", "img0.paipaiimg.com").body);
    QCOMPARE(get("/gen/4100/shared/other.jpg", "img3.paipaiimg.com").status, 404);
}

void TestSandbox::hostileItems_data()
{
    QTest::addColumn<QJsonObject>("item");
    QTest::addColumn<bool>("encoded");
    const QJsonArray items = hostileItemList();
    QCOMPARE(items.size(), 9);
    for (const QJsonValue &item : items) {
        const QString code = item[u"itemCode"].toString();
        QTest::addRow("%s, raw", qPrintable(code)) << item.toObject() << false;
        QTest::addRow("%s, percent-encoded", qPrintable(code)) << item.toObject() << true;
    }
}

void TestSandbox::hostileItems()
{
    QFETCH(QJsonObject, item);
    QFETCH(bool, encoded);

    // The address is put together by plain concatenation, as the product does.
    const QString code = item[u"itemCode"].toString();
    const Reply reply =
        fetch("http://api.paipai.com" + itemQuery(encoded ? QUrl::toPercentEncoding(code) : code.toLatin1()));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), "text/xml; charset=GBK");

    // Compared byte for byte: control characters travel raw, which no XML reader accepts.
    const QString title = item[u"itemName"].toString();
    const QString description = item[u"detailInfo"].toString();
    QVERIFY(reply.body.contains("<errorCode>0</errorCode>"));
    QVERIFY(reply.body.contains(QByteArray("<itemCode>" + code.toLatin1() + "</itemCode>")));
    QVERIFY(reply.body.contains(QByteArray("<itemName>" + toGbk(title.toHtmlEscaped()) + "</itemName>")));
    QVERIFY(reply.body.contains(
        QByteArray("<itemPrice>" + item[u"itemPrice"].toString().toLatin1() + "</itemPrice>")));
    QVERIFY(reply.body.contains(
        QByteArray("<detailInfo><![CDATA[" + toGbk(description.toHtmlEscaped()) + "]]></detailInfo>")));
    if (title.contains(QChar(0))) {
        for (const char control : {'\0', '\x1b', '\x07', '\t', '\r', '\n', '\x7f'}) {
            QVERIFY(title.contains(QLatin1Char(control)));
            QVERIFY(description.contains(QLatin1Char(control)));
        }
    }

    // Two main pictures and two in the description, every one a real picture.
    const QJsonArray mainPictures = item[u"pictures"].toArray();
    QCOMPARE(mainPictures.size(), 2);
    QStringList urls;
    for (qsizetype i = 0; i < mainPictures.size(); ++i) {
        const QByteArray element = i == 0 ? QByteArray("picLink") : "picLink" + QByteArray::number(i);
        const QString url = mainPictures[i].toString();
        QVERIFY(reply.body.contains(QByteArray("<" + element + ">" + url.toLatin1() + "</" + element + ">")));
        urls.append(url);
    }
    QRegularExpressionMatchIterator it =
        QRegularExpression(u"<img src=\"(http://img1\\.paipaiimg\\.com/[^\"]+)\""_s).globalMatch(description);
    while (it.hasNext())
        urls.append(it.next().captured(1));
    QCOMPARE(urls.size(), 4);
    if (encoded)
        return;
    for (const QString &url : std::as_const(urls)) {
        const Reply picture = fetch(url.toLatin1());
        QCOMPARE(picture.status, 200);
        QVERIFY2(!imageFormat(picture.body).isEmpty(), qPrintable(url));
    }
}

void TestSandbox::hostileShop()
{
    const QHash<int, QString> params = parameterSlots("/soft/venlo/copy_fwz33.htm");
    const QString address = fillTemplate(params.value(0), u"666"_s, u"0000000000"_s, QString(), 1);
    const Reply reply = fetch(address.toLatin1());
    QCOMPARE(reply.status, 200);
    const QString page = gbk(reply.body);
    QVERIFY(!page.isEmpty());

    int total = -1;
    const QList<Listed> items = readListing(page, params, 1, &total);
    const QStringList pathCodes = {u"../../../../tmp/quorvex-escape"_s, u"..\\..\\..\\quorvex-escape2"_s,
                                   u"C:\\quorvex-escape3"_s, u"/tmp/quorvex-escape4"_s};
    const QStringList expected =
        pathCodes + QStringList{u"A1B2C3D4000000000D0A000014E5F601"_s, u"A1B2C3D4000000000E0B000014E5F602"_s,
                                u"A1B2C3D4000000000F0C000014E5F603"_s, u"A1B2C3D400000000100D000014E5F604"_s,
                                u"A1B2C3D400000000110E000014E5F605"_s, u"0C7D360B00000000040100000CC1B772"_s};
    QCOMPARE(total, 10);
    QStringList codes;
    for (const Listed &item : items)
        codes.append(item.code);
    QCOMPARE(codes, expected);
    // Linked as a page would link them: the code as it is, then the listing's query.
    for (const QString &code : pathCodes)
        QVERIFY2(page.contains(u"href=\"http://auction1.paipai.com/"_s + code + u"?ptag=list\""_s),
                 qPrintable(code));

    QHash<QString, QString> titles;
    for (const QJsonValue &item : hostileItemList())
        titles.insert(item[u"itemCode"].toString(), item[u"itemName"].toString());
    for (const auto &[code, title] : sampleList())
        titles.insert(code, title);
    QCOMPARE(titles.value(expected.at(4)), u"../../../../tmp/quorvex-title-escape"_s);
    QCOMPARE(titles.value(expected.at(5)), u"..\\..\\..\\evil"_s);
    QCOMPARE(titles.value(expected.at(6)), u".."_s);
    QCOMPARE(titles.value(expected.at(7)), u"COM1"_s);
    QVERIFY(titles.value(expected.at(8)).contains(QChar(0)));

    // Names are the titles, HTML-escaped, and the item service knows every code as listed.
    for (const Listed &item : items) {
        QCOMPARE(item.name, titles.value(item.code).toHtmlEscaped());
        const Reply document = get(itemQuery(item.code.toLatin1()));
        QVERIFY2(document.body.contains("<errorCode>0</errorCode>"), qPrintable(item.code));
        QVERIFY(document.body.contains(QByteArray("<itemCode>" + item.code.toLatin1() + "</itemCode>")));
    }
}

void TestSandbox::invalidCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{u"--bogus"_s};
    QTest::newRow("missing value") << QStringList{u"--port"_s};
    QTest::newRow("bad number") << QStringList{u"--latency"_s, u"soon"_s};
    QTest::newRow("bad fault kind") << QStringList{u"--fault"_s, u"*=explode"_s};
    QTest::newRow("fault without kind") << QStringList{u"--fault"_s, u"www.pelmora.com"_s};
    QTest::newRow("garbage of another format") << QStringList{u"--fault"_s, u"*=garbage:gif"_s};
    QTest::newRow("oversize without a size") << QStringList{u"--fault"_s, u"*=oversize:"_s};
    QTest::newRow("oversize of nothing") << QStringList{u"--fault"_s, u"*=oversize:0"_s};
    QTest::newRow("oversize past 4 GiB") << QStringList{u"--fault"_s, u"*=oversize:4294967297"_s};
    QTest::newRow("oversize with a unit") << QStringList{u"--fault"_s, u"*=oversize:2GB"_s};
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
