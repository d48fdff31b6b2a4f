#include "cli.h"
#include "core/savefile.h"
#include "core/text.h"
#include "market/itemlist.h"
#include "sandboxprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using TestSupport::SandboxProcess;

namespace {
const QString richItem = u"0C7D360B00000000040100000CC1B772"_s;
const QString missingItem = u"8A0B1C2D000000000C0900001449330E"_s;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// quorvex-cli run in-process, its output in buffers.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void item_data();
    void item();
    void itemAgainstAPlainServer();
    void badArguments_data();
    void badArguments();
    void exportStatuses();
    void exportReport();
    void exportResume();
    void collectSingle();
    void collectShops_data();
    void collectShops();
    void exportStopsOnTermination();
    void collectStopsOnTermination();
    void collectHostileShop();
    void collectOntoAFullDisk();
    void exportListLimits();

private:
    int run(const QStringList &arguments);
    static void stopAtOnce(QProcess &cli);
    QString writeList(const QStringList &codes);
    std::unique_ptr<SandboxProcess> m_sandbox;
    QTemporaryDir m_dir;
    QString m_out;
    QString m_err;
};

void TestCli::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
}

void TestCli::init()
{
    m_sandbox->reset();
}

int TestCli::run(const QStringList &arguments)
{
    m_out.clear();
    m_err.clear();
    QTextStream out(&m_out);
    QTextStream err(&m_err);
    QStringList all = arguments;
    if (!arguments.contains(u"--proxy"_s))
        all << u"--proxy"_s << m_sandbox->proxyUrl();
    all << u"--program-dir"_s << m_dir.path();
    const int status = Cli::run(all, out, err);
    out.flush();
    err.flush();
    return status;
}

QString TestCli::writeList(const QStringList &codes)
{
    static int n = 0;
    const QString path = m_dir.filePath(u"list"_s + QString::number(n++) + u".txt"_s);
    QStringList lines;
    for (const QString &code : codes)
        lines << Market::makeItemEntry(code, u"x"_s);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(Core::encodeAnsi(lines.join(u"\r\n"_s)));
    return path;
}

void TestCli::item_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("two fields") << richItem << u"itemPrice,cityId"_s << 0 << u"26800\t1004\n"_s;
    QTest::newRow("unknown item") << u"FFFF"_s << u"itemName"_s << 1 << QString(45, u'\t') + u'\n';
}

void TestCli::item()
{
    QFETCH(QString, code);
    QFETCH(QString, fields);
    QFETCH(int, status);
    QFETCH(QString, output);
    QCOMPARE(run({u"item"_s, u"--code"_s, code, u"--fields"_s, fields}), status);
    QCOMPARE(m_out, output);
    QCOMPARE(m_err.isEmpty(), status == 0);
}

void TestCli::itemAgainstAPlainServer()
{
    // Any server that answers the item service's path will do, as proxy or by name.
    const QString ini = m_dir.filePath(u"plain.ini"_s);
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[hosts]\nitem_api=127.0.0.1:" + QByteArray::number(m_sandbox->port()) + "\n");
    file.close();
    QCOMPARE(run({u"item"_s, u"--code"_s, richItem, u"--fields"_s, u"stockCount"_s, u"--config"_s, ini,
                  u"--proxy"_s, QString()}),
             0);
    QCOMPARE(m_out, u"35\n"_s);

    m_sandbox->addFault(u"*"_s, u"reset"_s);
    QCOMPARE(run({u"item"_s, u"--code"_s, richItem, u"--fields"_s, u"stockCount"_s}), 1);
    QVERIFY2(m_err.contains(u"服务器断开了连接"_s), qPrintable(m_err));
}

void TestCli::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{u"fly"_s};
    QTest::newRow("item without fields") << QStringList{u"item"_s, u"--code"_s, u"X"_s};
    QTest::newRow("bad format") << QStringList{u"export"_s, u"--list"_s,   u"l"_s,  u"--out"_s,
                                               u"o.csv"_s,  u"--format"_s, u"xls"_s};
    QTest::newRow("not .csv") << QStringList{u"export"_s, u"--list"_s,   u"l"_s,  u"--out"_s,
                                             u"o.txt"_s,  u"--format"_s, u"tb5"_s};
    QTest::newRow("missing list") << QStringList{
        u"export"_s, u"--list"_s, u"/nonexistent/l.txt"_s, u"--out"_s, u"o.csv"_s, u"--format"_s, u"tb5"_s};
    QTest::newRow("half a price adjustment")
        << QStringList{u"export"_s, u"--list"_s,          u"l"_s,  u"--out"_s, u"o.csv"_s, u"--format"_s,
                       u"tb5"_s,    u"--price-percent"_s, u"110"_s};
    QTest::newRow("jobs 0") << QStringList{u"export"_s,   u"--list"_s, u"l"_s,      u"--out"_s, u"o.csv"_s,
                                           u"--format"_s, u"tb5"_s,    u"--jobs"_s, u"0"_s};
    QTest::newRow("jobs above the limit")
        << QStringList{u"export"_s,   u"--list"_s, u"l"_s,      u"--out"_s,     u"o.csv"_s,
                       u"--format"_s, u"tb5"_s,    u"--jobs"_s, u"1500000000"_s};
    QTest::newRow("percent out of range")
        << QStringList{u"export"_s, u"--list"_s,           u"l"_s,   u"--out"_s,
                       u"o.csv"_s,  u"--format"_s,         u"tb5"_s, u"--price-percent"_s,
                       u"0"_s,      u"--price-decimals"_s, u"2"_s};
    QTest::newRow("decimals 9") << QStringList{
        u"export"_s, u"--list"_s,           u"l"_s,   u"--out"_s,
        u"o.csv"_s,  u"--format"_s,         u"tb5"_s, u"--price-percent"_s,
        u"110"_s,    u"--price-decimals"_s, u"9"_s};
    QTest::newRow("stock text") << QStringList{u"export"_s, u"--list"_s,  u"l"_s,
                                               u"--out"_s,  u"o.csv"_s,   u"--format"_s,
                                               u"tb5"_s,    u"--stock"_s, u"abc"_s};
    QTest::newRow("stock negative") << QStringList{u"export"_s, u"--list"_s,  u"l"_s,
                                                   u"--out"_s,  u"o.csv"_s,   u"--format"_s,
                                                   u"tb5"_s,    u"--stock"_s, u"-5"_s};
    QTest::newRow("bad proxy") << QStringList{u"item"_s, u"--code"_s,  u"X"_s,        u"--fields"_s,
                                              u"a"_s,    u"--proxy"_s, u"socks://x"_s};
    QTest::newRow("bad mode") << QStringList{u"collect"_s,  u"--mode"_s, u"all"_s,  u"--address"_s,
                                             u"http://x"_s, u"--out"_s,  u"o.txt"_s};
}

void TestCli::badArguments()
{
    QFETCH(QStringList, arguments);
    QCOMPARE(run(arguments), 2);
    QVERIFY(!m_err.isEmpty());
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
}

void TestCli::exportStatuses()
{
    // A list without one item leaves a previous file as it was.
    const QString kept = m_dir.filePath(u"kept.csv"_s);
    QFile previous(kept);
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("good");
    previous.close();
    const QString junk = m_dir.filePath(u"junk.txt"_s);
    QFile junkFile(junk);
    QVERIFY(junkFile.open(QIODevice::WriteOnly));
    junkFile.write("not an address\r\n");
    junkFile.close();
    QCOMPARE(run({u"export"_s, u"--list"_s, junk, u"--out"_s, kept, u"--format"_s, u"tb5"_s}), 2);
    QVERIFY(m_err.contains(u"no item"_s));
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), QByteArray("good"));
    previous.close();
    // A run that reads no item at all leaves it too, and says so.
    QCOMPARE(
        run({u"export"_s, u"--list"_s, writeList({missingItem}), u"--out"_s, kept, u"--format"_s, u"tb5"_s}),
        1);
    QVERIFY(m_err.contains(u"原有文件保持不变"_s));
    QVERIFY(m_err.contains(u"商品服务没有这个商品"_s) || m_err.contains(u"商品不存在"_s));
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), QByteArray("good"));
    QCOMPARE(run({u"export"_s, u"--help"_s}), 0);
    QVERIFY(m_out.contains(u"--price-percent"_s));

    const QString out = m_dir.filePath(u"ok.csv"_s);
    QCOMPARE(run({u"export"_s, u"--list"_s, writeList({richItem}), u"--out"_s, out, u"--format"_s, u"tb4"_s}),
             0);
    QVERIFY(m_err.trimmed().endsWith(u"下载完成,共成功下载1个"_s));
    QCOMPARE(m_err.count(u"下载完成,共成功下载"_s), 1);
    QCOMPARE(run({u"export"_s, u"--list"_s, writeList({richItem, missingItem}), u"--out"_s, out,
                  u"--format"_s, u"tb4"_s}),
             1);
    QVERIFY(m_err.contains(missingItem));
}

void TestCli::exportReport()
{
    const QString report = m_dir.filePath(u"report.json"_s);
    QCOMPARE(run({u"export"_s, u"--list"_s, writeList({richItem, missingItem}), u"--out"_s,
                  m_dir.filePath(u"r.csv"_s), u"--format"_s, u"paipai"_s, u"--report"_s, report}),
             1);
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(json.value(u"written"_s).toInt(), 1);
    QCOMPARE(json.value(u"recordFailures"_s).toInt(), 1);
    const QJsonArray items = json.value(u"itemReports"_s).toArray();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).toObject().value(u"status"_s).toString(), u"written"_s);
    QCOMPARE(items.at(1).toObject().value(u"code"_s).toString(), missingItem);
    QCOMPARE(items.at(1).toObject().value(u"status"_s).toString(), u"record-failed"_s);
}

// A second run with --resume takes the pictures of the first and says how many.
void TestCli::exportResume()
{
    const QString report = m_dir.filePath(u"resume.json"_s);
    const QStringList arguments{
        u"export"_s,   u"--list"_s, writeList({richItem}), u"--out"_s, m_dir.filePath(u"resume.csv"_s),
        u"--format"_s, u"tb5"_s,    u"--report"_s,         report};
    QCOMPARE(run(arguments + QStringList{u"--resume"_s}), 0); // nothing there yet: all fetched
    const auto reused = [&report] {
        QFile file(report);
        return file.open(QIODevice::ReadOnly)
                   ? QJsonDocument::fromJson(file.readAll()).object().value(u"reusedPictures"_s).toInt(-1)
                   : -1;
    };
    QCOMPARE(reused(), 0);
    QCOMPARE(m_sandbox->count(u"/a1/0C7D360B/main1.jpg"_s), 1);
    QCOMPARE(run(arguments + QStringList{u"--resume"_s}), 0);
    QCOMPARE(m_sandbox->count(u"/a1/0C7D360B/main1.jpg"_s), 1);
    QVERIFY(reused() > 5);
    QVERIFY2(m_err.contains(u"张图片使用了已下载的文件"_s), qPrintable(m_err));
}

void TestCli::collectSingle()
{
    const QString out = m_dir.filePath(u"collected.txt"_s);
    QCOMPARE(run({u"collect"_s, u"--mode"_s, u"single"_s, u"--address"_s,
                  u"http://auction1.paipai.com/"_s + richItem, u"--out"_s, out}),
             0);
    QVERIFY(m_out.startsWith(u"网址ID:"_s + richItem + u"：韩版秋冬新款"_s));
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("http://auction1.paipai.com/") + richItem.toLatin1() + "\r\n");
    QCOMPARE(run({u"collect"_s, u"--mode"_s, u"single"_s, u"--address"_s, u"http://item.taobao.com/1"_s,
                  u"--out"_s, out}),
             2);
    QVERIFY(m_err.contains(u"淘宝商品"_s));

    // Without the collection page a shop is not reported as empty, but as unreadable.
    m_sandbox->addFault(u"*/soft/venlo/copy_fwz33.htm"_s, u"status:500"_s);
    QCOMPARE(run({u"collect"_s, u"--mode"_s, u"shop"_s, u"--address"_s, u"http://shop.paipai.com/999"_s,
                  u"--out"_s, out}),
             1);
    QVERIFY2(m_err.contains(u"读不到采集所需的参数"_s), qPrintable(m_err));
    QVERIFY(m_err.contains(u"没有找到商品"_s));
    QVERIFY(!m_err.contains(u"copy_fwz33"_s)); // the user's words, not the program's file names
}

void TestCli::collectShops_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("status");
    QTest::newRow("shop front page") << u"shop"_s << u"http://shop.paipai.com/888/index.shtml"_s << 9
                                     << u"网址ID:0C7D360B00000000040100000CC1B772：韩版秋冬新款"_s << 0;
    QTest::newRow("three listing pages") << u"shop"_s << u"http://shop.paipai.com/999?ptag=x"_s << 85
                                         << u"网址ID:000003E7000000000000000000000000："_s << 0;
    QTest::newRow("second shop host") << u"shop"_s << u"http://shop.wanggou.com/777/"_s << 12
                                      << u"网址ID:00000309000000000000000000000000："_s << 0;
    QTest::newRow("through a redirect") << u"shop"_s << u"http://shop.paipai.com/555"_s << 3
                                        << u"网址ID:5D7F91B30000000009060000111600C7："_s << 0;
    QTest::newRow("item list with category and key")
        << u"list"_s << u"http://shop.paipai.com/888/-1234567890-/shoes/"_s << 3
        << u"网址ID:0C7D360B00000000040100000CC1B772："_s << 0;
    QTest::newRow("unknown shop") << u"shop"_s << u"http://shop.paipai.com/4321"_s << 0 << QString() << 1;
    QTest::newRow("shop number not a number")
        << u"shop"_s << u"http://shop.paipai.com/abc/"_s << 0 << QString() << 2;
}

void TestCli::collectShops()
{
    QFETCH(QString, mode);
    QFETCH(QString, address);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(int, status);
    const QString out = m_dir.filePath(u"shop.txt"_s);
    QCOMPARE(run({u"collect"_s, u"--mode"_s, mode, u"--address"_s, address, u"--out"_s, out}), status);
    const QStringList entries = m_out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(entries.size(), count);
    if (!first.isEmpty())
        QVERIFY2(entries.constFirst().startsWith(first), qPrintable(entries.constFirst()));
    if (status == 2)
        QVERIFY(m_err.contains(u"输入的首页网址有误，请检查！"_s));
}

// A shop page is untrusted: links whose code could climb out of a folder are left out,
// and the run says so.
// The disk is full when the list is written: the old list stays and the run fails.
void TestCli::collectOntoAFullDisk()
{
    const QString out = m_dir.filePath(u"full-disk-list.txt"_s);
    QVERIFY(Core::saveFile(out, "the old list").saved);
    Core::setSaveFaultForTesting([](Core::SaveStep step, const QString &, bool *diskFull) {
        *diskFull = true;
        return step == Core::SaveStep::Write;
    });
    const int status = run({u"collect"_s, u"--mode"_s, u"shop"_s, u"--address"_s,
                            u"http://shop.paipai.com/999"_s, u"--out"_s, out});
    Core::setSaveFaultForTesting({});
    QCOMPARE(status, 1);
    QVERIFY2(m_err.contains(u"磁盘空间不足"_s), qPrintable(m_err));
    QCOMPARE(readFile(out), QByteArray("the old list"));
    QCOMPARE(QDir(m_dir.path()).entryList({u"full-disk-list.txt*"_s}, QDir::Files | QDir::Hidden),
             QStringList{u"full-disk-list.txt"_s});
}

void TestCli::collectHostileShop()
{
    const QString out = m_dir.filePath(u"hostile-shop.txt"_s);
    QCOMPARE(run({u"collect"_s, u"--mode"_s, u"shop"_s, u"--address"_s, u"http://shop.paipai.com/666"_s,
                  u"--out"_s, out}),
             1);
    QVERIFY2(m_err.contains(u"4个链接的商品编号无效，已跳过"_s), qPrintable(m_err));
    QVERIFY(m_err.contains(u"宝贝数:6"_s));
    const QStringList lines = QString::fromUtf8(readFile(out)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    for (const QString &line : lines)
        QVERIFY2(Market::isItemCode(line.section(u'/', -1)), qPrintable(line));
    // The entries printed carry the shop's names without their control characters: one line
    // each, nothing a terminal would act on.
    const QStringList printed = m_out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(printed.size(), 6);
    for (const QString &entry : printed)
        QCOMPARE(Core::removeControlCharacters(entry), entry);
}

// The program itself, stopped from outside as a terminal or a service manager would:
// the items finished are written and the run ends at once, however the servers behave.
void TestCli::exportStopsOnTermination()
{
#ifdef Q_OS_WIN
    QSKIP("no termination signal to send on this platform");
#endif
    m_sandbox->addFault(u"img1.paipaiimg.com/*"_s, u"hang"_s);
    const QString csv = m_dir.filePath(u"terminated/goods.csv"_s);
    const QString sameAsMainItem = u"5D7F91B30000000009060000111600C7"_s; // its one picture is on img0
    QProcess cli;
    cli.start(QCoreApplication::applicationDirPath() + u"/quorvex-cli"_s,
              {u"export"_s, u"--list"_s, writeList({sameAsMainItem, richItem}), u"--out"_s, csv,
               u"--format"_s, u"tb5"_s, u"--jobs"_s, u"1"_s, u"--proxy"_s, m_sandbox->proxyUrl(),
               u"--program-dir"_s, m_dir.path()});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_sandbox->hostCount(u"img1.paipaiimg.com/a1/0C7D360B/main2.jpg"_s) > 0, 20000);
    stopAtOnce(cli);
    if (QTest::currentTestFailed())
        return;
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(err.contains(u"已停止,共成功下载1个"_s), qPrintable(err));
    QVERIFY(QFile::exists(csv));
}

// Sends the termination request: the program must end at once, by itself, with status 1.
void TestCli::stopAtOnce(QProcess &cli)
{
    QElapsedTimer sinceStop;
    sinceStop.start();
    cli.terminate();
    QVERIFY(cli.waitForFinished(5000));
    QVERIFY2(sinceStop.elapsed() < 1500, qPrintable(QString::number(sinceStop.elapsed())));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 1);
}

// A shop whose second listing page never answers: the first page's items are written.
void TestCli::collectStopsOnTermination()
{
#ifdef Q_OS_WIN
    QSKIP("no termination signal to send on this platform");
#endif
    m_sandbox->addFault(u"shop.paipai.com/999/list.xhtml?*&p=2"_s, u"hang"_s);
    const QString out = m_dir.filePath(u"terminated-shop.txt"_s);
    QProcess cli;
    cli.start(QCoreApplication::applicationDirPath() + u"/quorvex-cli"_s,
              {u"collect"_s, u"--mode"_s, u"shop"_s, u"--address"_s, u"http://shop.paipai.com/999"_s,
               u"--out"_s, out, u"--proxy"_s, m_sandbox->proxyUrl(), u"--program-dir"_s, m_dir.path()});
    QVERIFY(cli.waitForStarted());
    QByteArray progress;
    QTRY_VERIFY_WITH_TIMEOUT(
        QString::fromUtf8(progress += cli.readAllStandardError()).contains(u"已读取1页"_s), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(m_sandbox->count(u"/999/list.xhtml"_s) >= 4, 20000);
    stopAtOnce(cli);
    if (QTest::currentTestFailed())
        return;
    const QString err = QString::fromUtf8(progress + cli.readAllStandardError());
    QVERIFY2(err.contains(u"已停止"_s), qPrintable(err));
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("http://auction1.paipai.com/000003E7000000000000000000000000\r\n"));
}

void TestCli::exportListLimits()
{
    // Past 10,000 entries the list is cut, and the run says how many it left out.
    QStringList many;
    for (int i = 0; i < Market::maxImportedAddresses + 3; ++i)
        many << u"0000000000000000000000000000"_s + QString::number(i).rightJustified(5, u'0');
    many.replace(0, richItem);
    m_sandbox->addFault(u"api.paipai.com/*"_s, u"status:404"_s); // fail fast: the cap is what counts
    const QString csv = m_dir.filePath(u"limits/goods.csv"_s);
    QCOMPARE(run({u"export"_s, u"--list"_s, writeList(many), u"--out"_s, csv, u"--format"_s, u"tb5"_s}), 1);
    QVERIFY2(m_err.contains(u"其余3个未导入"_s), qPrintable(m_err.left(2000)));
    QCOMPARE(m_sandbox->hostCount(u"api.paipai.com/item/getItem.xhtml"_s), Market::maxImportedAddresses);

    // A list file above 16 MB is refused before it is read: nothing is asked, nothing written.
    m_sandbox->reset();
    const QString big = m_dir.filePath(u"big.txt"_s);
    QFile file(big);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(Market::maxListFileBytes + 1));
    file.close();
    QCOMPARE(run({u"export"_s, u"--list"_s, big, u"--out"_s, csv, u"--format"_s, u"tb5"_s}), 2);
    QVERIFY(m_err.contains(u"太大"_s));
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
