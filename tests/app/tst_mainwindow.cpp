#include "app/failurereportdialog.h"
#include "app/inlinewarning.h"
#include "app/linklabel.h"
#include "app/mainwindow.h"
#include "app/ruleswindow.h"
#include "app/watermarkwindow.h"
#include "core/httpclient.h"
#include "core/qttranslations.h"
#include "core/savefile.h"
#include "core/text.h"
#include "imaging/watermarker.h"
#include "market/itemlist.h"
#include "market/sellerlookup.h"
#include "recordingprompter.h"
#include "sandboxprocess.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using TestSupport::SandboxProcess;

namespace {
const QString richItem = u"0C7D360B00000000040100000CC1B772"_s;
const QString commaItem = u"1A2B3C4D00000000050200000DD2C883"_s;
const QString routerItem = u"2F4E6A8C00000000060300000EE3D994"_s;
const QString deletedItem = u"8A0B1C2D000000000C0900001449330E"_s;

const QString nickRefused = u"请输入输入掌柜名(淘宝ID)"_s;
const QString blankFieldResult = QString(45, u'\t');

// The item service never answers for this item.
QString hangPattern(const QString &code)
{
    return u"*itemCode="_s + code + u'*';
}
} // namespace

// The main window driven through its real widgets, a fresh window per test.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startupFillsTheSlots();
    void inputChecksWarnBesideTheBox_data();
    void inputChecksWarnBesideTheBox();
    void typingACsvPathLosesNoKeystroke();
    void modeHintsAndClickToEmpty();
    void linksOpenTheirAddresses();
    void refusedAddresses_data();
    void refusedAddresses();
    void collectSingleItem();
    void collectionThatFindsNothingSaysSo();
    void collectWholeShop();
    void aSecondExportNeverReplacesTheFirst();
    void repeatedCodesStillFillTheBar();
    void stopEndsACollection();
    void importReadsEntryLines();
    void addressFileRoundTrip();
    void deleteAndClear();
    void rulesWindowLoadsAndSaves();
    void otherWindowsOpenAndCloseWithTheMainWindow();
    void otherWindowsOpenWholeOnTheScreen();
    void exportFromTheButton();
    void exportRefusesAPathWithoutCsv();
    void exportRefusesAnAdjustmentOutOfRange_data();
    void exportRefusesAnAdjustmentOutOfRange();
    void aFullDiskIsNeverDownloadComplete();
    void exportRefusesAnEmptyList();
    void stopEndsAnExportWithinASecond();
    void closingDuringAnExportAsks_data();
    void closingDuringAnExportAsks();
    void anEndDuringTheCloseQuestionWaitsForTheAnswer();
    void exportStampsWithTheOpenWatermarkWindow();
    void resumedExportFetchesNoPicture();
    void refusedSellerNicks_data();
    void refusedSellerNicks();
    void sellerLookupFillsTheFields();
    void failedLookupSaysWhyAndClearsTheFields_data();
    void failedLookupSaysWhyAndClearsTheFields();
    void categoryStepWritesTheSelectedRows_data();
    void categoryStepWritesTheSelectedRows();
    void closingDuringASellerLookupAbortsIt();
    void windowFitsASmallScreen();
    void qtTextsInChinese();
    void screenshots();

private:
    App::MainWindow *makeWindow(bool startup = false);
    template <typename T> T *child(const QString &name) const
    {
        T *widget = m_window->findChild<T *>(name);
        if (!widget)
            qFatal("no child %s", qPrintable(name));
        return widget;
    }
    void clickButton(const QString &name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    QString writeFile(const QString &name, const QByteArray &bytes) const;
    void fillList(const QStringList &codes);
    QString progressText() const { return child<QLabel>(u"progressLabel"_s)->text(); }
    // A window that has read the parameter page, so the open-platform slots are filled.
    void makeStartedWindow();
    void startSellerLookup(const QString &nick);
    int pictureRequests() const;

    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<Core::HttpClient> m_client;
    Core::Config m_config;
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingPrompter m_prompter;
    QStringList m_opened;
    QString m_nextFile;
    App::MainWindow *m_window = nullptr;
};

void TestMainWindow::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
    m_client = std::make_unique<Core::HttpClient>(Core::HttpOptions::fromConfig(m_config));
}

void TestMainWindow::init()
{
    m_sandbox->reset();
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter.shown.clear();
    m_prompter.answer = true;
    m_prompter.whileAsking = {};
    m_opened.clear();
    m_nextFile.clear();
}

void TestMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

App::MainWindow *TestMainWindow::makeWindow(bool startup)
{
    App::MainWindowContext context;
    context.programDir = m_dir->path();
    context.config = m_config;
    context.client = m_client.get();
    context.prompter = &m_prompter;
    context.openFileName = [this](QWidget *, const QString &, const QString &) { return m_nextFile; };
    context.saveFileName = [this](QWidget *, const QString &, const QString &) { return m_nextFile; };
    context.openUrl = [this](const QString &address) {
        m_opened << address;
        return true;
    };
    context.clock = [] { return QDateTime(QDate(2026, 3, 5), QTime(9, 7)); };
    context.runStartup = startup;
    m_window = new App::MainWindow(context);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window))
        qWarning("window not exposed");
    return m_window;
}

QString TestMainWindow::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestMainWindow::makeStartedWindow()
{
    QSignalSpy started(makeWindow(true), &App::MainWindow::startupFinished);
    if (!started.wait(20000))
        qFatal("the start-up did not finish");
    QTRY_VERIFY(!m_window->hasRunningJobs());
    m_sandbox->reset();
}

void TestMainWindow::startSellerLookup(const QString &nick)
{
    child<QLineEdit>(u"sellerBox"_s)->setText(nick);
    clickButton(u"queryButton"_s);
}

int TestMainWindow::pictureRequests() const
{
    int count = 0;
    const QJsonObject hosts = m_sandbox->counts().value(u"hosts"_s).toObject();
    for (auto it = hosts.begin(); it != hosts.end(); ++it) {
        if (it.key().startsWith(u"img"_s))
            count += it.value().toInt();
    }
    return count;
}

void TestMainWindow::fillList(const QStringList &codes)
{
    auto *list = child<QListWidget>(u"itemList"_s);
    for (const QString &code : codes)
        list->addItem(Market::makeItemEntry(code, QString()));
}

void TestMainWindow::startupFillsTheSlots()
{
    writeFile(u"bak"_s, "left by the updater");
    QSignalSpy done(makeWindow(true), &App::MainWindow::startupFinished);
    QVERIFY(done.wait(20000));
    QCOMPARE(m_window->parameterSlots().value(28), u"<img"_s);
    QCOMPARE(child<QLineEdit>(u"addressBox"_s)->text(), u"http://auction1.paipai.com/"_s + richItem);
    QVERIFY(m_window->applicationTable().join(QString()).contains(u"app"_s));
    // The default watermark pictures are fetched when missing, the leftover copy goes.
    QVERIFY(QFile::exists(m_dir->filePath(u"sy_pic1.jpg"_s)));
    QVERIFY(QFile::exists(m_dir->filePath(u"sy_pic2.jpg"_s)));
    QVERIFY(!QFile::exists(m_dir->filePath(u"bak"_s)));
    QTRY_VERIFY(!m_window->hasRunningJobs());
}

void TestMainWindow::inputChecksWarnBesideTheBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("warningLabel");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString percent = u"请输入1至10000之间的数字"_s;
    const QString options = u"optionsWarning"_s;
    QTest::newRow("percent 0") << u"pricePercentBox"_s << options << u"0"_s << percent;
    QTest::newRow("percent 10001") << u"pricePercentBox"_s << options << u"10001"_s << percent;
    QTest::newRow("percent text") << u"pricePercentBox"_s << options << u"x"_s << percent;
    QTest::newRow("percent 10000") << u"pricePercentBox"_s << options << u"10000"_s << QString();
    QTest::newRow("percent 1") << u"pricePercentBox"_s << options << u"1"_s << QString();
    const QString decimals = u"请输入0至5之间的整数"_s;
    QTest::newRow("decimals 0") << u"priceDecimalsBox"_s << options << u"0"_s << QString();
    QTest::newRow("decimals 6") << u"priceDecimalsBox"_s << options << u"6"_s << decimals;
    QTest::newRow("decimals 1.5") << u"priceDecimalsBox"_s << options << u"1.5"_s << decimals;
    QTest::newRow("decimals 5") << u"priceDecimalsBox"_s << options << u"5"_s << QString();
    const QString stock = u"请输入0至1000000000之间的数字"_s;
    QTest::newRow("stock text") << u"stockBox"_s << options << u"a"_s << stock;
    QTest::newRow("stock -5") << u"stockBox"_s << options << u"-5"_s << stock;
    QTest::newRow("stock 7") << u"stockBox"_s << options << u"7"_s << QString();
    QTest::newRow("csv without extension")
        << u"csvPathBox"_s << u"csvWarning"_s << u"/tmp/goods"_s << u"文件名要‘.csv’为扩展名"_s;
    QTest::newRow("csv upper case") << u"csvPathBox"_s << u"csvWarning"_s << u"D:\\out\\goods.CSV"_s
                                    << QString();
}

void TestMainWindow::inputChecksWarnBesideTheBox()
{
    QFETCH(QString, box);
    QFETCH(QString, warningLabel);
    QFETCH(QString, text);
    QFETCH(QString, message);
    makeWindow();
    QLineEdit *edit = child<QLineEdit>(box);
    auto *warning = child<App::InlineWarning>(warningLabel);
    QVERIFY(!warning->isVisible());
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);              // every keystroke arrived: the text stays as typed
    QCOMPARE(m_prompter.shown, QStringList()); // and no message box took any of them
    QCOMPARE(warning->isVisible(), !message.isEmpty());
    QCOMPARE(warning->warning(edit), message);
    if (!message.isEmpty())
        QVERIFY(warning->text().contains(message));
    // Mending the text takes the warning away.
    edit->setText(box == u"csvPathBox"_s ? u"goods.csv"_s : u"3"_s);
    QVERIFY(!warning->isVisible());
}

void TestMainWindow::typingACsvPathLosesNoKeystroke()
{
    makeWindow();
    auto *box = child<QLineEdit>(u"csvPathBox"_s);
    auto *warning = child<App::InlineWarning>(u"csvWarning"_s);
    box->setFocus();
    const QString path = u"/tmp/quorvex/out/goods.csv"_s;
    QTest::keyClicks(box, path.left(12));
    QVERIFY(warning->isVisible());
    QVERIFY(box->hasFocus());
    QTest::keyClicks(box, path.mid(12));
    QCOMPARE(box->text(), path);
    QCOMPARE(m_prompter.shown, QStringList());
    QVERIFY(!warning->isVisible());
}

void TestMainWindow::modeHintsAndClickToEmpty()
{
    makeWindow();
    auto *mode = child<QComboBox>(u"modeBox"_s);
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    QCOMPARE(child<QLineEdit>(u"addressBox"_s)->text(), u"输入店铺首页网址"_s);
    QTest::mouseClick(child<QLineEdit>(u"addressBox"_s), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>(u"addressBox"_s)->text(), QString());
    QTest::mouseClick(child<QLineEdit>(u"sellerBox"_s), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>(u"sellerBox"_s)->text(), QString());
    // What the user typed stays when they click back in to mend it.
    for (const QString &name : {u"addressBox"_s, u"sellerBox"_s}) {
        auto *box = child<QLineEdit>(name);
        QTest::keyClicks(box, u"abc"_s);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), u"abc"_s);
    }
}

void TestMainWindow::linksOpenTheirAddresses()
{
    makeWindow();
    QCOMPARE(child<App::LinkLabel>(u"makerSiteLink"_s)->text(), m_config.makerPrimary);
    QTest::mouseClick(child<App::LinkLabel>(u"makerSiteLink"_s), Qt::LeftButton);
    QCOMPARE(m_opened, QStringList{u"http://"_s + m_config.makerPrimary + u"/"_s});
    // Before the parameter page is read the help address is empty and slot 0 holds its
    // design text: nothing opens and the contact label has no notice.
    m_opened.clear();
    QTest::mouseClick(child<App::LinkLabel>(u"helpLink"_s), Qt::LeftButton);
    QTest::mouseClick(child<App::LinkLabel>(u"contactLink"_s), Qt::LeftButton);
    QCOMPARE(m_opened, QStringList());
    QCOMPARE(m_prompter.shown, QStringList());
    // A press that ends away from the label is not a click.
    auto *home = child<App::LinkLabel>(u"homeLink"_s);
    QTest::mousePress(home, Qt::LeftButton);
    QTest::mouseRelease(home, Qt::LeftButton, {}, QPoint(home->width() + 20, home->height() + 20));
    QCOMPARE(m_opened, QStringList());
    // Nor is a drag of "首页", which moves the window, even when it ends where it began.
    QTest::mousePress(home, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(home, QPoint(2 + 3 * QApplication::startDragDistance(), 2));
    QTest::mouseRelease(home, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(m_opened, QStringList());
    QTest::mouseClick(home, Qt::LeftButton);
    QCOMPARE(m_opened, QStringList{u"http://"_s + m_config.makerPrimary + u"/"_s});
}

void TestMainWindow::refusedAddresses_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("opened");
    QTest::newRow("single, no scheme")
        << 0 << u"auction1.paipai.com/ABC"_s << u"输入的商品网址有误，请检查！"_s << QString();
    QTest::newRow("shop, no scheme") << 1 << u"shop.paipai.com/888"_s << u"输入有误，请检查！"_s << QString();
    QTest::newRow("tmall in any mode")
        << 2 << u"http://detail.tmall.com/item.htm?id=1"_s
        << u"你输入的是淘宝商品,如果你需要淘宝商品复制到淘宝或拍拍,请用另一个软件"_s
        << u"http://www.pelmora.com/soft/tarsk"_s;
    QTest::newRow("alibaba") << 0 << u"http://detail.alibaba.com/x"_s
                             << u"你输入的是阿里巴巴商品,如果你需要复制阿里巴巴商品,请用另一个软件"_s
                             << u"http://www.pelmora.com/soft/brumel"_s;
}

void TestMainWindow::refusedAddresses()
{
    QFETCH(int, mode);
    QFETCH(QString, address);
    QFETCH(QString, message);
    QFETCH(QString, opened);
    makeWindow();
    child<QComboBox>(u"modeBox"_s)->setCurrentIndex(mode);
    child<QLineEdit>(u"addressBox"_s)->setText(address);
    clickButton(u"Command7"_s);
    QCOMPARE(m_prompter.shown, QStringList{message});
    QCOMPARE(m_opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    QVERIFY(m_window->entries().isEmpty());
    QVERIFY(child<QPushButton>(u"Command7"_s)->isEnabled());
    QVERIFY(!m_window->isBusy());
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
}

// An unknown shop, and a shop walk without a connection: the label and a message say that
// nothing was found, in the user's words.
void TestMainWindow::collectionThatFindsNothingSaysSo()
{
    makeWindow();
    child<QComboBox>(u"modeBox"_s)->setCurrentIndex(1); // a whole shop
    QSignalSpy finished(m_window, &App::MainWindow::collectionFinished);
    m_sandbox->addFault(u"*/soft/venlo/copy_fwz33.htm*"_s, u"reset"_s);
    child<QLineEdit>(u"addressBox"_s)->setText(u"http://shop.paipai.com/999"_s);
    clickButton(u"Command7"_s);
    QVERIFY(finished.wait(30000));
    QVERIFY2(m_window->entries().isEmpty(), qPrintable(progressText() + m_window->entries().join(u'|')));
    QVERIFY2(progressText().startsWith(u"没有找到商品，读不到采集所需的参数"_s), qPrintable(progressText()));
    QVERIFY(!progressText().contains(u".htm"_s));
    QCOMPARE(m_prompter.shown, QStringList{progressText()});

    m_prompter.shown.clear();
    m_sandbox->reset();
    child<QLineEdit>(u"addressBox"_s)->setText(u"http://shop.paipai.com/123456"_s);
    clickButton(u"Command7"_s);
    QVERIFY(finished.wait(20000));
    QVERIFY(m_window->entries().isEmpty());
    QCOMPARE(progressText(), u"没有找到商品"_s);
    QCOMPARE(m_prompter.shown, QStringList{u"没有找到商品"_s});
}

void TestMainWindow::collectSingleItem()
{
    makeWindow();
    child<QLineEdit>(u"addressBox"_s)->setText(u" http://auction1.paipai.com/"_s + richItem + u"?ptag=1 "_s);
    QSignalSpy finished(m_window, &App::MainWindow::collectionFinished);
    clickButton(u"Command7"_s);
    QVERIFY(!child<QPushButton>(u"Command7"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"stopButton"_s)->isEnabled());
    QVERIFY(finished.wait(20000));
    QCOMPARE(m_window->entries(),
             QStringList{u"网址ID:"_s + richItem +
                         u"：韩版秋冬新款毛呢外套 女中长款修身显瘦大衣 送围巾&腰带 包邮"_s});
    QCOMPARE(child<QLabel>(u"counterLabel"_s)->text(), u"宝贝数:1"_s);
    QCOMPARE(progressText(), u"网址采集完成"_s);
    // The time-based name is zero-padded: 9:07 on 5 March gives 202603050907.
    QCOMPARE(child<QLineEdit>(u"csvPathBox"_s)->text(),
             QDir::toNativeSeparators(m_dir->filePath(u"202603050907.csv"_s)));
    QVERIFY(child<QPushButton>(u"Command7"_s)->isEnabled());
    QVERIFY(child<QLineEdit>(u"addressBox"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"stopButton"_s)->isEnabled());
}

void TestMainWindow::aSecondExportNeverReplacesTheFirst()
{
    makeWindow();
    child<QLineEdit>(u"addressBox"_s)->setText(u"http://auction1.paipai.com/"_s + richItem);
    QSignalSpy collected(m_window, &App::MainWindow::collectionFinished);
    clickButton(u"Command7"_s);
    QVERIFY(collected.wait(20000));
    auto *box = child<QLineEdit>(u"csvPathBox"_s);
    const QString first = m_dir->filePath(u"202603050907.csv"_s);
    QCOMPARE(box->text(), QDir::toNativeSeparators(first));

    // Two exports within the minute the name was given: the second takes the next free name,
    // and the first file and its pictures stay as they were.
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    QFile firstFile(first);
    QVERIFY(firstFile.open(QIODevice::ReadOnly));
    const QByteArray firstBytes = firstFile.readAll();
    firstFile.close();
    const QDateTime firstWritten = QFileInfo(first).lastModified();
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    const QString second = m_dir->filePath(u"202603050907-2.csv"_s);
    QCOMPARE(box->text(), QDir::toNativeSeparators(second));
    QVERIFY(QFileInfo::exists(second));
    QVERIFY(QFileInfo(m_dir->filePath(u"202603050907-2"_s)).isDir());
    QVERIFY(firstFile.open(QIODevice::ReadOnly));
    QCOMPARE(firstFile.readAll(), firstBytes);
    QCOMPARE(QFileInfo(first).lastModified(), firstWritten);

    // A path the user chose is theirs to replace.
    const QString chosen = m_dir->filePath(u"mine.csv"_s);
    box->setText(chosen);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    QCOMPARE(box->text(), chosen);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"mine-2.csv"_s)));
}

void TestMainWindow::repeatedCodesStillFillTheBar()
{
    makeWindow();
    fillList({richItem, commaItem, richItem, richItem});
    child<QLineEdit>(u"csvPathBox"_s)->setText(m_dir->filePath(u"twice.csv"_s));
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    QCOMPARE(m_window->lastSummary().duplicates, 2);
    auto *bar = child<QProgressBar>(u"progressBar"_s);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestMainWindow::collectWholeShop()
{
    makeWindow();
    child<QComboBox>(u"modeBox"_s)->setCurrentIndex(1);
    child<QLineEdit>(u"addressBox"_s)->setText(u"http://shop.paipai.com/999"_s);
    QSignalSpy finished(m_window, &App::MainWindow::collectionFinished);
    clickButton(u"Command7"_s);
    QVERIFY(!child<QLineEdit>(u"addressBox"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QVERIFY(finished.wait(20000));
    QCOMPARE(m_window->entries().size(), 85);
    QCOMPARE(child<QLabel>(u"counterLabel"_s)->text(), u"宝贝数:85"_s);
    QCOMPARE(m_sandbox->count(u"/999/list.xhtml"_s), 4); // page 1 for the count, then pages 1 to 3
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
}

void TestMainWindow::stopEndsACollection()
{
    // The second listing page never comes: "停止" ends the walk at once.
    m_sandbox->addFault(u"*/999/list.xhtml*p=2*"_s, u"hang"_s);
    makeWindow();
    child<QComboBox>(u"modeBox"_s)->setCurrentIndex(1);
    child<QLineEdit>(u"addressBox"_s)->setText(u"http://shop.paipai.com/999"_s);
    QSignalSpy finished(m_window, &App::MainWindow::collectionFinished);
    clickButton(u"Command7"_s);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->entries().size(), 40, 20000);
    QTest::qWait(200); // the walk now waits on page 2
    QElapsedTimer stopping;
    stopping.start();
    clickButton(u"stopButton"_s);
    QVERIFY(finished.wait(5000));
    QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
    QCOMPARE(progressText(), u"网址采集已停止，已添加40个网址"_s);
    QCOMPARE(child<QLineEdit>(u"csvPathBox"_s)->text(), QString()); // a stopped run names no file
    QVERIFY(child<QPushButton>(u"Command7"_s)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->hasRunningJobs(), 1000);
}

void TestMainWindow::importReadsEntryLines()
{
    // Entry lines as the list shows them and the CLI reads them, and lines that are not.
    const QString input = writeFile(
        u"entries.txt"_s, (u"网址ID:"_s + richItem + u"：自己起的名字\r\n网址ID:"_s + commaItem +
                           u"：\r\n\r\n这一行不是网址\r\n 网址ID:"_s + routerItem + u"：路由器\r\n"_s)
                              .toUtf8());
    makeWindow();
    m_nextFile = input;
    QSignalSpy imported(m_window, &App::MainWindow::importFinished);
    clickButton(u"importButton"_s);
    QVERIFY(!child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QVERIFY(progressText().startsWith(u"正在导入网址"_s));
    QVERIFY(imported.wait(20000));
    QCOMPARE(m_window->entries(),
             (QStringList{u"网址ID:"_s + richItem + u"：自己起的名字"_s,
                          u"网址ID:"_s + commaItem + u"：正品·南极人 纯棉四件套, 1.8m床 床单被套 全棉斜纹"_s,
                          u"网址ID:"_s + routerItem + u"：路由器"_s}));
    // Entries keep their names: only the one without a name was looked up.
    QCOMPARE(m_sandbox->count(u"/item/getItem.xhtml"_s), 1);
    QCOMPARE(progressText(), u"导入完成，共读取3个网址，忽略1行"_s);
    QCOMPARE(child<QLabel>(u"counterLabel"_s)->text(), u"宝贝数:3"_s);
    QCOMPARE(child<QLineEdit>(u"csvPathBox"_s)->text(),
             QDir::toNativeSeparators(m_dir->filePath(u"202603050907.csv"_s)));
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QCOMPARE(m_prompter.shown, QStringList());
}

void TestMainWindow::addressFileRoundTrip()
{
    // An address file with a quoted field, two addresses on one line and a non-address.
    const QString input = writeFile(
        u"in.txt"_s, Core::encodeAnsi(u"http://auction1.paipai.com/"_s + richItem +
                                      u",http://auction1.paipai.com/FFFF\r\n"_s +
                                      u"\"http://auction1.paipai.com/"_s + commaItem + u"\"\r\nnote\r\n"_s));
    makeWindow();
    m_nextFile = input;
    QSignalSpy imported(m_window, &App::MainWindow::importFinished);
    clickButton(u"importButton"_s);
    QVERIFY(imported.wait(20000));
    QCOMPARE(m_window->entries().size(), 3);
    QCOMPARE(Market::itemCodeFromEntry(m_window->entries().at(1)), u"FFFF"_s);
    QVERIFY(m_window->entries().at(1).endsWith(u"："_s)); // an unknown item keeps an empty name
    QVERIFY(m_window->entries().at(2).endsWith(u"全棉斜纹"_s));
    QCOMPARE(progressText(), u"导入完成，共读取3个网址，忽略1行"_s);

    m_nextFile = m_dir->filePath(u"out.txt"_s);
    clickButton(u"exportListButton"_s);
    QCOMPARE(m_prompter.shown.last(), u"导出3条网址完成"_s);
    QFile written(m_nextFile);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), Market::writeItemAddresses(m_config, {richItem, u"FFFF"_s, commaItem}));
    QCOMPARE(child<QListWidget>(u"itemList"_s)->selectedItems().size(), 3);

    // A name whose extension isn't "txt" is refused with a message; one typed without an
    // extension gets the dialog's.
    m_nextFile = m_dir->filePath(u"out.TXT"_s);
    clickButton(u"exportListButton"_s);
    QVERIFY(!QFile::exists(m_nextFile));
    QCOMPARE(m_prompter.shown.last(), u"文件名要‘.txt’为扩展名"_s);
    m_nextFile = m_dir->filePath(u"shop999"_s);
    clickButton(u"exportListButton"_s);
    QCOMPARE(m_prompter.shown.last(), u"导出3条网址完成"_s);
    QFile typed(m_dir->filePath(u"shop999.txt"_s));
    QVERIFY(typed.open(QIODevice::ReadOnly));
    QCOMPARE(typed.readAll(), Market::writeItemAddresses(m_config, {richItem, u"FFFF"_s, commaItem}));
    m_nextFile = m_dir->filePath(u"goods"_s);
    clickButton(u"csvLocationButton"_s);
    QCOMPARE(child<QLineEdit>(u"csvPathBox"_s)->text(),
             QDir::toNativeSeparators(m_dir->filePath(u"goods.csv"_s)));
    // A file to import that isn't an address file gets a message, not silence.
    m_nextFile = writeFile(u"list.lst"_s, "x");
    clickButton(u"importButton"_s);
    QVERIFY(m_prompter.shown.last().startsWith(u"只能导入扩展名为.txt的商品网址文件"_s));

    // An empty list says there is nothing to export and leaves the file as it was.
    written.close();
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray kept = written.readAll();
    written.close();
    clickButton(u"clearButton"_s);
    QVERIFY(m_window->entries().isEmpty());
    m_nextFile = m_dir->filePath(u"out.txt"_s);
    clickButton(u"exportListButton"_s);
    QCOMPARE(m_prompter.shown.last(), u"列表中没有网址，没有可导出的内容"_s);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), kept);
}

void TestMainWindow::deleteAndClear()
{
    makeWindow();
    auto *list = child<QListWidget>(u"itemList"_s);
    for (const QString &code : {u"A"_s, u"B"_s, u"C"_s, u"D"_s})
        list->addItem(Market::makeItemEntry(code, code));
    list->item(1)->setSelected(true);
    list->item(3)->setSelected(true);
    clickButton(u"deleteButton"_s);
    QCOMPARE(m_window->entries(), (QStringList{u"网址ID:A：A"_s, u"网址ID:C：C"_s}));
    QCOMPARE(child<QLabel>(u"counterLabel"_s)->text(), u"宝贝数:2"_s);
    clickButton(u"clearButton"_s);
    QVERIFY(m_window->entries().isEmpty());
    QCOMPARE(child<QLabel>(u"counterLabel"_s)->text(), u"宝贝数:0"_s);
}

void TestMainWindow::rulesWindowLoadsAndSaves()
{
    const QString path = writeFile(u"re.txt"_s, Core::encodeAnsi(u"旧QQ^新QQ^"_s));
    makeWindow();
    clickButton(u"rulesButton"_s);
    App::RulesWindow *rules = m_window->rulesWindow();
    QVERIFY(rules && rules->isVisible());
    QCOMPARE(rules->objectName(), u"Form3"_s);
    QCOMPARE(rules->windowTitle(), u"商品标题和描述替换"_s);
    QCOMPARE(rules->findBox(0), rules->findChild<QLineEdit *>(u"Text1_0"_s));
    QCOMPARE(rules->replaceBox(4), rules->findChild<QLineEdit *>(u"Text2_4"_s));
    QCOMPARE(rules->findBox(0)->text(), u"旧QQ"_s);
    QCOMPARE(rules->replaceBox(0)->text(), u"新QQ"_s);
    QTest::keyClicks(rules->findBox(1), u"a"_s);
    QTest::keyClicks(rules->replaceBox(1), u"aa"_s);
    QTest::mouseClick(rules->findChild<QPushButton *>(u"saveButton"_s), Qt::LeftButton);
    QCOMPARE(m_prompter.shown.last(), u"保存完成！"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = Core::encodeAnsi(u"旧QQ^新QQ^a^aa^^^^^^^\r\n"_s);
    QCOMPARE(file.readAll(), saved);
    file.close();

    // A "^" would shift every later text when read back: refused, the saved rules stay.
    QTest::keyClicks(rules->findBox(2), u"x^y"_s);
    QTest::mouseClick(rules->findChild<QPushButton *>(u"saveButton"_s), Qt::LeftButton);
    QCOMPARE(m_prompter.shown.last(), u"保存失败：替换三的查找内容含有字符“^”，替换规则无法保存"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), saved);
}

void TestMainWindow::otherWindowsOpenWholeOnTheScreen()
{
    makeWindow();
    const QRect area = m_window->screen()->availableGeometry();
    // The main window pushed to the screen's bottom-right corner, mostly off it.
    m_window->move(area.bottomRight() - QPoint(100, 100));
    clickButton(u"rulesButton"_s);
    clickButton(u"watermarkButton"_s);
    for (QWidget *window : {static_cast<QWidget *>(m_window->rulesWindow()), m_window->watermarkWindow()}) {
        QVERIFY(window && window->isVisible());
        const QRect placed = window->frameGeometry();
        QVERIFY2(area.contains(placed.topLeft()), qPrintable(window->objectName()));
        // Whole on the screen when it fits, the left edge when the screen is narrower.
        if (placed.width() <= area.width())
            QVERIFY2(area.contains(placed), qPrintable(window->objectName()));
        QVERIFY(placed.bottom() <= area.bottom());
        QVERIFY2(placed.intersects(m_window->frameGeometry()), "not over the main window");
    }
}

void TestMainWindow::otherWindowsOpenAndCloseWithTheMainWindow()
{
    makeWindow();
    clickButton(u"watermarkButton"_s);
    QPointer<QWidget> watermark = m_window->watermarkWindow();
    QVERIFY(watermark && watermark->isVisible());
    QCOMPARE(watermark->windowTitle(), u"图片水印设置"_s);
    watermark->close();
    QTRY_VERIFY(!watermark);
    QTest::mouseClick(child<App::LinkLabel>(u"officialSiteLink"_s), Qt::LeftButton);
    QVERIFY(m_window->watermarkWindow() && m_window->watermarkWindow()->isVisible());

    clickButton(u"rulesButton"_s);
    QPointer<QWidget> rules = m_window->rulesWindow();
    QVERIFY(rules && rules->isVisible());
    clickButton(u"exitButton"_s);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_prompter.shown, QStringList()); // nothing ran: no question
    QTRY_VERIFY(!rules);
    QTRY_VERIFY(!m_window->watermarkWindow());
}

void TestMainWindow::exportFromTheButton()
{
    m_sandbox->setLatency(40);
    makeWindow();
    fillList({richItem, deletedItem});
    child<QRadioButton>(u"paipaiOption"_s)->setChecked(true);
    const QString csv = m_dir->filePath(u"out/shop.csv"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    for (const QString &name : {u"makeCsvButton"_s, u"importButton"_s, u"Command7"_s, u"clearButton"_s,
                                u"exitButton"_s, u"csvLocationButton"_s, u"queryButton"_s})
        QVERIFY2(!child<QPushButton>(name)->isEnabled(), qPrintable(name));
    QVERIFY(!child<QCheckBox>(u"watermarkCheck"_s)->isEnabled());
    QVERIFY(!child<QRadioButton>(u"tb4Option"_s)->isEnabled());
    QVERIFY(!child<QLineEdit>(u"stockBox"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"stopButton"_s)->isEnabled());
    QVERIFY(finished.wait(30000));
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"queryButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"importToCategoryButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"stopButton"_s)->isEnabled());
    const QString summary = u"下载完成,共成功下载1个，1个商品读取失败"_s;
    QVERIFY2(progressText().startsWith(summary), qPrintable(progressText()));
    // A run with failures says so in its box too, not a bare "下载完成".
    QCOMPARE(m_prompter.shown, QStringList{progressText()});
    QVERIFY(QFile(csv).size() > 2);
    // The failures are listed where the user can read, copy and save them.
    auto *report = m_window->findChild<App::FailureReportDialog *>();
    QVERIFY(report && report->isVisible());
    QVERIFY(report->report().contains(deletedItem));
    QTest::mouseClick(report->findChild<QPushButton *>(u"copyReportButton"_s), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), report->report());
    m_nextFile = m_dir->filePath(u"failures.txt"_s);
    QTest::mouseClick(report->findChild<QPushButton *>(u"saveReportButton"_s), Qt::LeftButton);
    QFile saved(m_nextFile);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), report->report());
}

// The disk fills while the second item's files are stored: the window says the disk is
// full and lists what happened, never "下载完成".
void TestMainWindow::aFullDiskIsNeverDownloadComplete()
{
    makeWindow();
    fillList({richItem, commaItem});
    const QString csv = m_dir->filePath(u"full/shop.csv"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    Core::setSaveFaultForTesting([](Core::SaveStep step, const QString &path, bool *diskFull) {
        *diskFull = true;
        return step == Core::SaveStep::Open && path.contains(u"南极人"_s); // the second item's files
    });
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    Core::setSaveFaultForTesting({});
    QVERIFY2(progressText().startsWith(u"磁盘空间不足，导出已停止"_s), qPrintable(progressText()));
    QVERIFY(!m_prompter.shown.isEmpty());
    QVERIFY2(!m_prompter.shown.contains(u"下载完成"_s), qPrintable(m_prompter.shown.join(u'|')));
    QVERIFY(m_window->findChild<App::FailureReportDialog *>());
}

void TestMainWindow::exportRefusesAnAdjustmentOutOfRange_data()
{
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: the export starts
    QTest::newRow("percent abc") << u"priceCheck"_s << u"pricePercentBox"_s << u"abc"_s
                                 << u"价格调整：请输入1至10000之间的数字"_s;
    QTest::newRow("decimals 9") << u"priceCheck"_s << u"priceDecimalsBox"_s << u"9"_s
                                << u"保留小数位：请输入0至5之间的整数"_s;
    QTest::newRow("stock -5") << u"stockCheck"_s << u"stockBox"_s << u"-5"_s
                              << u"库存调整：请输入0至1000000000之间的数字"_s;
    // A box whose adjustment is not in use does not matter.
    QTest::newRow("stock -5, not used") << QString() << u"stockBox"_s << u"-5"_s << QString();
}

void TestMainWindow::exportRefusesAnAdjustmentOutOfRange()
{
    QFETCH(QString, check);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    makeWindow();
    fillList({richItem});
    const QString csv =
        m_dir->filePath(u"adjust/"_s + QString::fromLatin1(QTest::currentDataTag()) + u".csv"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    if (!check.isEmpty())
        child<QCheckBox>(check)->setChecked(true);
    child<QLineEdit>(box)->setText(text);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    if (message.isEmpty()) {
        QVERIFY(finished.wait(30000));
        return;
    }
    QCOMPARE(m_prompter.shown, QStringList{message});
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(box));
    QTest::qWait(50);
    QCOMPARE(finished.count(), 0);
    QVERIFY(!QFileInfo::exists(csv));
}

void TestMainWindow::exportRefusesAPathWithoutCsv()
{
    makeWindow();
    fillList({richItem});
    child<QLineEdit>(u"csvPathBox"_s)->setText(m_dir->filePath(u"goods.Csv"_s));
    clickButton(u"makeCsvButton"_s);
    // The check when the export starts keeps its message box.
    QCOMPARE(m_prompter.shown, QStringList{u"文件名要‘.csv’为扩展名"_s});
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestMainWindow::exportRefusesAnEmptyList()
{
    // A good import file from an earlier run, then "清空" and "制作CSV数据".
    const QString csv = writeFile(u"goods.csv"_s, QByteArray(27 * 1024, 'x'));
    makeWindow();
    fillList({richItem});
    clickButton(u"clearButton"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QCOMPARE(m_prompter.shown, QStringList{u"商品列表是空的，没有可以导出的商品。请先添加或导入网址。"_s});
    QVERIFY(!m_window->isBusy());
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(27 * 1024, 'x'));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{u"goods.csv"_s});
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
    QCOMPARE(finished.size(), 0);
}

void TestMainWindow::stopEndsAnExportWithinASecond()
{
    m_sandbox->addFault(hangPattern(commaItem), u"hang"_s);
    makeWindow();
    fillList({richItem, commaItem, routerItem});
    const QString csv = m_dir->filePath(u"goods.csv"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    // The first item is written; the second one's record never comes.
    QTRY_COMPARE_WITH_TIMEOUT(child<QListWidget>(u"itemList"_s)->currentRow(), 1, 20000);
    QTest::qWait(300);
    QElapsedTimer stopping;
    stopping.start();
    clickButton(u"stopButton"_s);
    QVERIFY(!child<QPushButton>(u"stopButton"_s)->isEnabled());
    QVERIFY(finished.wait(5000));
    QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
    // Honest: stopped, with its counts, and no "下载完成".
    QVERIFY2(progressText().startsWith(u"已停止"_s), qPrintable(progressText()));
    QCOMPARE(m_prompter.shown, QStringList{progressText()});
    QVERIFY(!progressText().contains(u"下载完成"_s));
    QVERIFY(m_window->lastSummary().cancelled);
    QCOMPARE(m_window->lastSummary().written, 1);
    // The items done so far are written; the user's stop is no failure to report.
    QVERIFY(QFile(csv).size() > 2);
    QVERIFY(!m_window->findChild<App::FailureReportDialog *>());
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->hasRunningJobs(), 1000);
}

void TestMainWindow::closingDuringAnExportAsks_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("cancel keeps it running") << false;
    QTest::newRow("ok stops it") << true;
}

void TestMainWindow::closingDuringAnExportAsks()
{
    QFETCH(bool, answer);
    m_sandbox->addFault(hangPattern(commaItem), u"hang"_s);
    // The file of an earlier complete run, which a stopped run replaces with what it finished.
    const QString csv = writeFile(u"goods.csv"_s, "complete");
    makeWindow();
    fillList({commaItem, richItem});
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    clickButton(u"makeCsvButton"_s);
    QTRY_VERIFY_WITH_TIMEOUT(m_sandbox->count(u"/item/getItem.xhtml"_s) >= 2, 20000);
    m_prompter.answer = answer;
    QElapsedTimer closing;
    closing.start();
    QVERIFY(m_window->close() == answer);
    QCOMPARE(m_prompter.shown, QStringList{u"正在制作CSV数据，确定要停止并退出吗？"_s});
    if (!answer) {
        QVERIFY(m_window->isVisible());
        QVERIFY(m_window->isBusy());
        QTest::qWait(300);
        QVERIFY(m_window->hasRunningJobs());
        return; // cleanup() stops it
    }
    QVERIFY(!m_window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->hasRunningJobs(), 1000);
    QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
    QCOMPARE(m_prompter.shown.size(), 1); // no end message for a window that is gone
    // Nothing was finished, so the earlier file stays as it was.
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("complete"));
}

void TestMainWindow::anEndDuringTheCloseQuestionWaitsForTheAnswer()
{
    makeWindow();
    fillList({richItem});
    child<QLineEdit>(u"csvPathBox"_s)->setText(m_dir->filePath(u"goods.csv"_s));
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QStringList shownWhileAsking;
    m_prompter.answer = false;
    m_prompter.whileAsking = [&] {
        // The export ends while the user reads the question: its box must not open on top.
        QVERIFY(finished.wait(30000));
        shownWhileAsking = m_prompter.shown;
    };
    QVERIFY(!m_window->close());
    QCOMPARE(shownWhileAsking, QStringList{u"正在制作CSV数据，确定要停止并退出吗？"_s});
    // Staying, the user hears how the run ended once the question is answered.
    QCOMPARE(m_prompter.shown, (QStringList{u"正在制作CSV数据，确定要停止并退出吗？"_s, u"下载完成"_s}));
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_window->isBusy());
}

void TestMainWindow::exportStampsWithTheOpenWatermarkWindow()
{
    makeWindow();
    clickButton(u"watermarkButton"_s);
    auto *watermark = qobject_cast<App::WatermarkWindow *>(m_window->watermarkWindow());
    QVERIFY(watermark);
    Imaging::WatermarkSettings settings = watermark->settings();
    settings.text = u"未保存的水印"_s; // typed, not saved
    watermark->setSettings(settings);
    child<QCheckBox>(u"watermarkCheck"_s)->setChecked(true);
    fillList({richItem});
    const QString folder = m_dir->filePath(u"wm"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(folder + u"/goods.csv"_s);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));

    const QString url = u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s;
    QFile stamped(folder + u"/goods/韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮/"_s +
                  Core::Md5Hex(url) + u".JPG"_s);
    QVERIFY(stamped.open(QIODevice::ReadOnly));
    QByteArray expected;
    const QByteArray original = m_client->get({url, Core::WaitMode::Long}).body;
    QCOMPARE(Imaging::Watermarker(watermark->settings(), watermark->watermarkPicture())
                 .stamp(original, u"x.JPG"_s, &expected),
             Imaging::Watermarker::Outcome::Stamped);
    QCOMPARE(stamped.readAll(), expected);
}

void TestMainWindow::resumedExportFetchesNoPicture()
{
    makeWindow();
    fillList({richItem, commaItem});
    const QString csv = m_dir->filePath(u"goods.csv"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    QCOMPARE(m_window->lastSummary().pictureFailures, 0);
    const int pictures = pictureRequests();
    QVERIFY2(pictures > 5, qPrintable(QString::number(pictures)));
    QFile first(csv);
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray written = first.readAll();
    first.close();

    m_sandbox->reset();
    auto *reuse = child<QCheckBox>(u"reusePicturesCheck"_s);
    QCOMPARE(reuse->text(), u"跳过已下载的图片"_s);
    QVERIFY(!reuse->isChecked());
    reuse->setChecked(true);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(!reuse->isEnabled()); // an option the run has taken
    QVERIFY(finished.wait(30000));
    QVERIFY(reuse->isEnabled());
    QCOMPARE(pictureRequests(), 0);
    QCOMPARE(m_window->lastSummary().reusedPictures, pictures);
    QCOMPARE(m_window->lastSummary().written, 2);
    QFile second(csv);
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), written);
}

void TestMainWindow::refusedSellerNicks_data()
{
    QTest::addColumn<QString>("nick");
    QTest::newRow("initial text") << u"输入掌柜名(淘宝ID)"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces only") << u"   "_s;
    QTest::newRow("39 characters") << QString(39, u'x');
    QTest::newRow("39 with inner spaces") << u"quorvex"_s + QString(27, u' ') + u"_demo"_s;
}

void TestMainWindow::refusedSellerNicks()
{
    QFETCH(QString, nick);
    makeWindow();
    auto *box = child<QLineEdit>(u"sellerBox"_s);
    if (nick != box->text())
        box->setText(nick);
    child<QLineEdit>(u"locationBox"_s)->setText(u"浙江/杭州"_s);
    clickButton(u"queryButton"_s);
    QCOMPARE(m_prompter.shown, QStringList{nickRefused});
    QVERIFY(box->hasFocus());
    // Nothing else changes and nothing is asked.
    QCOMPARE(box->text(), nick);
    QCOMPARE(child<QLineEdit>(u"locationBox"_s)->text(), u"浙江/杭州"_s);
    QVERIFY(child<QPushButton>(u"queryButton"_s)->isEnabled());
    QVERIFY(!m_window->isLookingUpSeller());
    QVERIFY(!m_window->hasRunningJobs());
    QTest::qWait(100);
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
}

void TestMainWindow::sellerLookupFillsTheFields()
{
    makeStartedWindow();
    auto *list = child<QListWidget>(u"sellerCategoryList"_s);
    // What an earlier lookup and category step left.
    child<QLineEdit>(u"postageBox"_s)->setText(u"old"_s);
    child<QLineEdit>(u"shopCategoryBox"_s)->setText(u"old,"_s);
    list->addItem(u"old"_s);
    QSignalSpy finished(m_window, &App::MainWindow::sellerLookupFinished);
    startSellerLookup(u" quorvex _demo "_s);
    QVERIFY(m_window->isLookingUpSeller());
    QVERIFY(!child<QPushButton>(u"queryButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"importToCategoryButton"_s)->isEnabled());
    // The nick as looked up, and the fields the lookup fills, cleared at once.
    QCOMPARE(child<QLineEdit>(u"sellerBox"_s)->text(), u"quorvex_demo"_s);
    QCOMPARE(child<QLineEdit>(u"postageBox"_s)->text(), QString());
    QCOMPARE(child<QLineEdit>(u"shopCategoryBox"_s)->text(), QString());
    QCOMPARE(list->count(), 0);
    // The other controls stay usable meanwhile.
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QVERIFY(finished.wait(20000));

    QCOMPARE(child<QLineEdit>(u"sellerBox"_s)->text(), u"quorvex_demo"_s);
    QCOMPARE(child<QLineEdit>(u"postageBox"_s)->text(), u"7310001"_s);
    QCOMPARE(child<QLineEdit>(u"locationBox"_s)->text(), u"浙江/杭州"_s);
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    QCOMPARE(names, (QStringList{u"女装"_s, u"连衣裙"_s, u"T恤"_s, u"家居&日用"_s, u"收纳整理"_s}));
    QVERIFY(child<QPushButton>(u"queryButton"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"importToCategoryButton"_s)->isEnabled());
    QCOMPARE(m_prompter.shown, QStringList()); // no message on success
    QCOMPARE(m_sandbox->count(u"/router/rest"_s), 4);
    QTRY_VERIFY(!m_window->hasRunningJobs());
}

void TestMainWindow::failedLookupSaysWhyAndClearsTheFields_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("fault"); // on the gateway
    QTest::addColumn<QString>("message");
    const QString noConnection =
        u"没有查到掌柜“quorvex_demo”的信息：连接不上淘宝开放平台（网络不通或服务器出错）"_s;
    QTest::newRow("server error")
        << u"quorvex_demo"_s << u"status:500"_s
        << u"没有查到掌柜“quorvex_demo”的信息：淘宝开放平台没有正常回答（服务器出错）"_s;
    QTest::newRow("broken off") << u"quorvex_demo"_s << u"truncate"_s << noConnection;
    QTest::newRow("unknown nick")
        << u"nobody_here"_s << QString()
        << u"没有查到掌柜“nobody_here”的信息：淘宝开放平台回答：15 Remote service error: 用户不存在：nobody_here"_s;
}

void TestMainWindow::failedLookupSaysWhyAndClearsTheFields()
{
    QFETCH(QString, nick);
    QFETCH(QString, fault);
    QFETCH(QString, message);
    makeStartedWindow();
    // A first seller found and its categories taken into the boxes ...
    QSignalSpy finished(m_window, &App::MainWindow::sellerLookupFinished);
    startSellerLookup(u"quorvex_demo"_s);
    QVERIFY(finished.wait(20000));
    auto *list = child<QListWidget>(u"sellerCategoryList"_s);
    list->selectAll();
    clickButton(u"importToCategoryButton"_s);
    QCOMPARE(child<QLineEdit>(u"categoryIdBox"_s)->text(), u",1101,1102,1103,1104,1105,"_s);

    // ... then a second lookup that finds nothing: nothing of the first seller stays.
    if (!fault.isEmpty())
        m_sandbox->addFault(u"*/router/rest*"_s, fault);
    startSellerLookup(nick);
    QVERIFY(!child<QPushButton>(u"queryButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"importToCategoryButton"_s)->isEnabled());
    QVERIFY(finished.wait(20000));
    for (const QString &box : {u"postageBox"_s, u"locationBox"_s, u"shopCategoryBox"_s, u"categoryIdBox"_s})
        QVERIFY2(child<QLineEdit>(box)->text().isEmpty(), qPrintable(box));
    QCOMPARE(list->count(), 0);
    QCOMPARE(child<QLineEdit>(u"sellerBox"_s)->text(), nick);
    QCOMPARE(m_prompter.shown, QStringList{message});
    QVERIFY(child<QPushButton>(u"queryButton"_s)->isEnabled());
    // Nothing to take into the boxes.
    QVERIFY(!child<QPushButton>(u"importToCategoryButton"_s)->isEnabled());
    QVERIFY(!m_window->isLookingUpSeller());
}

void TestMainWindow::categoryStepWritesTheSelectedRows_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QList<int>>("clicked"); // the first a plain click, the others with Ctrl
    QTest::addColumn<QString>("shopCategories");
    QTest::addColumn<QString>("categoryIds");
    QTest::newRow("two rows, clicked bottom first")
        << u"quorvex_demo"_s << QList<int>{3, 1} << u"连衣裙,家居&日用,"_s << u",1102,1104,"_s;
    QTest::newRow("nothing selected") << u"quorvex_demo"_s << QList<int>{} << QString() << u","_s;
    // Nothing to take: the button stays disabled and the boxes empty.
    QTest::newRow("a shop without categories")
        << u"no_category_shop"_s << QList<int>{} << QString() << QString();
    QTest::newRow("names with # and a space")
        << u"小周的杂货铺"_s << QList<int>{0, 1} << u"新品#上架,特价 专区,"_s << u",2101,2102,"_s;
}

void TestMainWindow::categoryStepWritesTheSelectedRows()
{
    QFETCH(QString, nick);
    QFETCH(QList<int>, clicked);
    QFETCH(QString, shopCategories);
    QFETCH(QString, categoryIds);
    makeStartedWindow();
    QSignalSpy finished(m_window, &App::MainWindow::sellerLookupFinished);
    startSellerLookup(nick);
    QVERIFY(finished.wait(20000));
    auto *list = child<QListWidget>(u"sellerCategoryList"_s);
    for (qsizetype i = 0; i < clicked.size(); ++i) {
        QListWidgetItem *item = list->item(clicked.at(i));
        QVERIFY(item);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          list->visualItemRect(item).center());
    }
    QCOMPARE(list->selectedItems().size(), clicked.size());
    QCOMPARE(child<QPushButton>(u"importToCategoryButton"_s)->isEnabled(), list->count() > 0);
    clickButton(u"importToCategoryButton"_s);
    QCOMPARE(child<QLineEdit>(u"shopCategoryBox"_s)->text(), shopCategories);
    QCOMPARE(child<QLineEdit>(u"categoryIdBox"_s)->text(), categoryIds);
    QCOMPARE(m_prompter.shown, QStringList());
}

void TestMainWindow::closingDuringASellerLookupAbortsIt()
{
    makeStartedWindow();
    m_sandbox->addFault(u"*/router/rest*"_s, u"hang"_s);
    startSellerLookup(u"quorvex_demo"_s);
    QTRY_COMPARE_WITH_TIMEOUT(m_sandbox->count(u"/router/rest"_s), 1, 20000);
    QTest::qWait(200);
    QElapsedTimer closing;
    closing.start();
    QVERIFY(m_window->close()); // a lookup is no command: no question
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->hasRunningJobs(), 1000);
    QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
    QCOMPARE(m_sandbox->count(u"/router/rest"_s), 1); // the calls not yet made are skipped
    QCOMPARE(m_prompter.shown, QStringList());
}

void TestMainWindow::windowFitsASmallScreen()
{
    makeWindow();
    // A 1366 x 768 laptop with a taskbar leaves about 1024 x 700 for the window.
    const QSize least = m_window->minimumSizeHint();
    QVERIFY2(least.width() <= 1024 && least.height() <= 700,
             qPrintable(QString::number(least.width()) + u'x' + QString::number(least.height())));
    QCOMPARE(m_window->objectName(), u"TestOCX_new"_s);
    QCOMPARE(m_window->windowTitle(), u"Quorvexv3.6"_s);
    for (const QSize size : {QSize(1024, 700), least, QSize(1400, 900)}) {
        m_window->resize(size);
        QTRY_COMPARE(m_window->size(), size);
        // Every group lies inside the window and no two overlap.
        const QList<QGroupBox *> groups = m_window->findChildren<QGroupBox *>();
        QCOMPARE(groups.size(), 5);
        for (QGroupBox *group : groups) {
            const QRect area(group->mapTo(m_window, QPoint(0, 0)), group->size());
            QVERIFY2(m_window->rect().contains(area), qPrintable(group->objectName()));
            QVERIFY2(group->height() >= group->minimumSizeHint().height(), qPrintable(group->objectName()));
            for (QGroupBox *other : groups) {
                const QRect otherArea(other->mapTo(m_window, QPoint(0, 0)), other->size());
                QVERIFY2(other == group || !area.intersects(otherArea),
                         qPrintable(group->objectName() + u" / "_s + other->objectName()));
            }
        }
        QVERIFY(child<QListWidget>(u"itemList"_s)->height() >= 100);
        QVERIFY(child<QPushButton>(u"exitButton"_s)->geometry().bottom() < m_window->height());
    }
}

void TestMainWindow::qtTextsInChinese()
{
    const QString loaded = Core::installQtTranslations(*QCoreApplication::instance());
    if (loaded.isEmpty())
        QSKIP("Qt's Chinese translations are not installed (scripts/install-deps.sh installs them)");
    QVERIFY(loaded.contains(u"qtbase_zh_CN"_s));
    // The buttons of Qt's own questions and dialogs.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"取消"_s);
    QCOMPARE(QCoreApplication::translate("QFileDialog", "&Save"), u"保存(&S)"_s);
}

// Pictures of the windows for a person to look at: set QUORVEX_SCREENSHOTS to a folder.
void TestMainWindow::screenshots()
{
    const QString folder = qEnvironmentVariable("QUORVEX_SCREENSHOTS");
    if (folder.isEmpty())
        QSKIP("QUORVEX_SCREENSHOTS is not set");
    QDir().mkpath(folder);
    makeWindow(true);
    QSignalSpy started(m_window, &App::MainWindow::startupFinished);
    QVERIFY(started.wait(20000));
    m_window->grab().save(folder + u"/mainwindow-default.png"_s);
    // The sample shop's list, imported as a user would.
    QFile sample(SandboxProcess::dataDir() + u"/sample-list.txt"_s);
    QVERIFY(sample.open(QIODevice::ReadOnly));
    m_nextFile = writeFile(u"sample.txt"_s, sample.readAll());
    QSignalSpy imported(m_window, &App::MainWindow::importFinished);
    clickButton(u"importButton"_s);
    QVERIFY(imported.wait(20000));
    m_window->resize(1024, 700);
    QTest::qWait(100);
    m_window->grab().save(folder + u"/mainwindow-1024x700.png"_s);

    child<QLineEdit>(u"pricePercentBox"_s)->selectAll();
    QTest::keyClicks(child<QLineEdit>(u"pricePercentBox"_s), u"0"_s);
    child<QLineEdit>(u"csvPathBox"_s)->selectAll();
    QTest::keyClicks(child<QLineEdit>(u"csvPathBox"_s), m_dir->filePath(u"goods.cs"_s));
    m_window->grab().save(folder + u"/mainwindow-warnings.png"_s);
    QTest::keyClicks(child<QLineEdit>(u"csvPathBox"_s), u"v"_s);
    child<QLineEdit>(u"pricePercentBox"_s)->setText(u"100"_s);

    m_sandbox->addFault(hangPattern(u"3B5D7F9100000000070400000FF4EAA5"_s), u"hang"_s);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QTRY_COMPARE_WITH_TIMEOUT(child<QListWidget>(u"itemList"_s)->currentRow(), 3, 20000);
    QTest::qWait(300);
    clickButton(u"stopButton"_s);
    QVERIFY(finished.wait(5000));
    m_window->grab().save(folder + u"/mainwindow-stopped.png"_s);
    m_sandbox->reset();

    clickButton(u"rulesButton"_s);
    m_window->rulesWindow()->grab().save(folder + u"/rules.png"_s);
    clickButton(u"watermarkButton"_s);
    m_window->watermarkWindow()->grab().save(folder + u"/watermark.png"_s);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
