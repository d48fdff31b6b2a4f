#include "app/mainwindow.h"
#include "app/watermarkwindow.h"
#include "imaging/watermarker.h"
#include "core/httpclient.h"
#include "core/itemlist.h"
#include "core/text.h"
#include "recordingprompter.h"
#include "sandboxprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using TestSupport::SandboxProcess;

namespace {
const QString richItem = u"0C7D360B00000000040100000CC1B772"_s;
const QString commaItem = u"1A2B3C4D00000000050200000DD2C883"_s;
}

// The main window driven through its real widgets, a fresh window per test.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startupFillsTheSlots();
    void inputChecks_data();
    void inputChecks();
    void csvPathWarnsOnEveryKeystroke();
    void modeHintsAndClickToEmpty();
    void refusedAddresses_data();
    void refusedAddresses();
    void collectSingleItem();
    void collectWholeShop();
    void addressFileRoundTrip();
    void deleteAndClear();
    void rulesWindowLoadsAndSaves();
    void otherWindowsOpenAndCloseWithTheMainWindow();
    void exportFromTheButton();
    void exportRefusesAPathWithoutCsv();
    void exportStampsWithTheOpenWatermarkWindow();
    void screenshots();

private:
    App::MainWindow *makeWindow(bool startup = false);
    template<typename T>
    T *child(const QString &name) const
    {
        T *widget = m_window->findChild<T *>(name);
        if (!widget)
            qFatal("no child %s", qPrintable(name));
        return widget;
    }
    void clickButton(const QString &name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void setText(const QString &name, const QString &text)
    {
        QLineEdit *edit = child<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

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
    context.openUrl = [this](const QString &address) { m_opened << address; };
    context.clock = [] { return QDateTime(QDate(2026, 3, 5), QTime(9, 7)); };
    context.runStartup = startup;
    m_window = new App::MainWindow(context);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window))
        qWarning("window not exposed");
    return m_window;
}

void TestMainWindow::startupFillsTheSlots()
{
    QSignalSpy done(makeWindow(true), &App::MainWindow::startupFinished);
    QVERIFY(done.wait(20000));
    QCOMPARE(m_window->parameterSlots().value(28), u"<img"_s);
    QCOMPARE(child<QLineEdit>(u"addressBox"_s)->text(), u"http://auction1.paipai.com/"_s + richItem);
    QVERIFY(m_window->applicationTable().join(QString()).contains(u"app"_s));
    // The default watermark pictures are fetched when missing.
    QVERIFY(QFile::exists(m_dir->filePath(u"sy_pic1.jpg"_s)));
    QVERIFY(QFile::exists(m_dir->filePath(u"sy_pic2.jpg"_s)));
}

void TestMainWindow::inputChecks_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString percent = u"请输入1至10000之间的数字"_s;
    QTest::newRow("percent 0") << u"pricePercentBox"_s << u"0"_s << percent;
    QTest::newRow("percent 10001") << u"pricePercentBox"_s << u"10001"_s << percent;
    QTest::newRow("percent text") << u"pricePercentBox"_s << u"x"_s << percent;
    QTest::newRow("percent 10000") << u"pricePercentBox"_s << u"10000"_s << QString();
    QTest::newRow("decimals 0") << u"priceDecimalsBox"_s << u"0"_s << u"请输入1至5之间的数字"_s;
    QTest::newRow("decimals 6") << u"priceDecimalsBox"_s << u"6"_s << u"请输入1至5之间的数字"_s;
    QTest::newRow("decimals 5") << u"priceDecimalsBox"_s << u"5"_s << QString();
    QTest::newRow("stock text") << u"stockBox"_s << u"a"_s << u"请输入数字"_s;
    QTest::newRow("stock 7") << u"stockBox"_s << u"7"_s << QString();
}

void TestMainWindow::inputChecks()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    makeWindow();
    QLineEdit *edit = child<QLineEdit>(box);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    // A one-character text gives one message; a longer one is checked at every keystroke.
    const QStringList expected = message.isEmpty() ? QStringList() : QStringList{message};
    if (text.size() == 1)
        QCOMPARE(m_prompter.shown, expected);
    else
        QCOMPARE(m_prompter.shown.isEmpty() ? QString() : m_prompter.shown.last(), message);
    QCOMPARE(edit->text(), text);  // the text stays as typed
}

void TestMainWindow::csvPathWarnsOnEveryKeystroke()
{
    makeWindow();
    setText(u"csvPathBox"_s, u"a.csv"_s);
    QCOMPARE(m_prompter.shown.size(), 4);  // "a", "a.", "a.c", "a.cs"
    QVERIFY(m_prompter.shown.constFirst().contains(u".csv"_s));
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
}

void TestMainWindow::refusedAddresses_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("opened");
    QTest::newRow("single, no scheme") << 0 << u"auction1.paipai.com/ABC"_s << u"输入的商品网址有误，请检查！"_s
                                       << QString();
    QTest::newRow("shop, no scheme") << 1 << u"shop.paipai.com/888"_s << u"输入有误，请检查！"_s << QString();
    QTest::newRow("tmall in any mode") << 2 << u"http://detail.tmall.com/item.htm?id=1"_s
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
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
}

void TestMainWindow::collectSingleItem()
{
    makeWindow();
    child<QLineEdit>(u"addressBox"_s)->setText(u" http://auction1.paipai.com/"_s + richItem + u"?ptag=1 "_s);
    QSignalSpy finished(m_window, &App::MainWindow::collectionFinished);
    clickButton(u"Command7"_s);
    QVERIFY(!child<QPushButton>(u"Command7"_s)->isEnabled());
    QVERIFY(finished.wait(20000));
    QCOMPARE(m_window->entries(),
             QStringList{u"网址ID:"_s + richItem + u"：韩版秋冬新款毛呢外套 女中长款修身显瘦大衣 送围巾&腰带 包邮"_s});
    QCOMPARE(child<QLabel>(u"counterLabel"_s)->text(), u"宝贝数:1"_s);
    QCOMPARE(child<QLabel>(u"progressLabel"_s)->text(), u"网址采集完成"_s);
    QCOMPARE(child<QLineEdit>(u"csvPathBox"_s)->text(),
             QDir::toNativeSeparators(m_dir->filePath(u"20263597.csv"_s)));
    QVERIFY(child<QPushButton>(u"Command7"_s)->isEnabled());
    QVERIFY(child<QLineEdit>(u"addressBox"_s)->isEnabled());
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
    QCOMPARE(m_sandbox->count(u"/999/list.xhtml"_s), 4);  // page 1 for the count, then pages 1 to 3
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
}

void TestMainWindow::addressFileRoundTrip()
{
    // An address file with a quoted field, two addresses on one line and a non-address.
    const QString input = m_dir->filePath(u"in.txt"_s);
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Core::encodeAnsi(u"http://auction1.paipai.com/"_s + richItem + u",http://auction1.paipai.com/FFFF\r\n"_s
                                + u"\"http://auction1.paipai.com/"_s + commaItem + u"\"\r\nnote\r\n"_s));
    file.close();
    makeWindow();
    m_nextFile = input;
    QSignalSpy imported(m_window, &App::MainWindow::importFinished);
    clickButton(u"importButton"_s);
    QVERIFY(imported.wait(20000));
    QCOMPARE(m_window->entries().size(), 3);
    QCOMPARE(Core::itemCodeFromEntry(m_window->entries().at(1)), u"FFFF"_s);
    QVERIFY(m_window->entries().at(1).endsWith(u"："_s));  // an unknown item keeps an empty name
    QVERIFY(m_window->entries().at(2).endsWith(u"全棉斜纹"_s));

    m_nextFile = m_dir->filePath(u"out.txt"_s);
    clickButton(u"exportListButton"_s);
    QCOMPARE(m_prompter.shown.last(), u"导出3条网址完成"_s);
    QFile written(m_nextFile);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), Core::writeItemAddresses(m_config, {richItem, u"FFFF"_s, commaItem}));
    QCOMPARE(child<QListWidget>(u"itemList"_s)->selectedItems().size(), 3);

    // A name without "txt" does nothing.
    m_nextFile = m_dir->filePath(u"out.TXT"_s);
    clickButton(u"exportListButton"_s);
    QVERIFY(!QFile::exists(m_nextFile));
}

void TestMainWindow::deleteAndClear()
{
    makeWindow();
    auto *list = child<QListWidget>(u"itemList"_s);
    for (const QString &code : {u"A"_s, u"B"_s, u"C"_s, u"D"_s})
        list->addItem(Core::makeItemEntry(code, code));
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
    QFile file(m_dir->filePath(u"re.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Core::encodeAnsi(u"旧QQ^新QQ^"_s));
    file.close();
    makeWindow();
    clickButton(u"rulesButton"_s);
    App::RulesWindow *rules = m_window->rulesWindow();
    QVERIFY(rules && rules->isVisible());
    QCOMPARE(rules->windowTitle(), u"商品标题和描述替换"_s);
    QCOMPARE(rules->findBox(0)->text(), u"旧QQ"_s);
    QCOMPARE(rules->replaceBox(0)->text(), u"新QQ"_s);
    QTest::keyClicks(rules->findBox(1), u"a"_s);
    QTest::keyClicks(rules->replaceBox(1), u"aa"_s);
    QTest::mouseClick(rules->findChild<QPushButton *>(u"saveButton"_s), Qt::LeftButton);
    QCOMPARE(m_prompter.shown.last(), u"保存完成！"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), Core::encodeAnsi(u"旧QQ^新QQ^a^aa^^^^^^^\r\n"_s));
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
    QTest::mouseClick(child<QLabel>(u"officialSiteLink"_s), Qt::LeftButton);
    QVERIFY(m_window->watermarkWindow() && m_window->watermarkWindow()->isVisible());

    clickButton(u"rulesButton"_s);
    QPointer<QWidget> rules = m_window->rulesWindow();
    QVERIFY(rules && rules->isVisible());
    clickButton(u"exitButton"_s);
    QVERIFY(!m_window->isVisible());
    QTRY_VERIFY(!rules);
    QTRY_VERIFY(!m_window->watermarkWindow());
}

void TestMainWindow::exportFromTheButton()
{
    m_sandbox->setLatency(40);
    makeWindow();
    auto *list = child<QListWidget>(u"itemList"_s);
    list->addItem(Core::makeItemEntry(richItem, QString()));
    list->addItem(Core::makeItemEntry(u"8A0B1C2D000000000C0900001449330E"_s, QString()));
    child<QRadioButton>(u"paipaiOption"_s)->setChecked(true);
    const QString csv = m_dir->filePath(u"out/shop.csv"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(csv);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    for (const QString &name : {u"makeCsvButton"_s, u"importButton"_s, u"Command7"_s, u"clearButton"_s,
                                u"exitButton"_s, u"csvLocationButton"_s})
        QVERIFY2(!child<QPushButton>(name)->isEnabled(), qPrintable(name));
    QVERIFY(!child<QCheckBox>(u"watermarkCheck"_s)->isEnabled());
    QVERIFY(!child<QRadioButton>(u"tb4Option"_s)->isEnabled());
    QVERIFY(!child<QLineEdit>(u"stockBox"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"stopButton"_s)->isEnabled());
    QVERIFY(finished.wait(30000));
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"importToCategoryButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"stopButton"_s)->isEnabled());
    QCOMPARE(child<QLabel>(u"progressLabel"_s)->text(), u"下载完成,共成功下载1个，1个商品读取失败"_s);
    QCOMPARE(m_prompter.shown.last(), u"下载完成"_s);
    QVERIFY(QFile(csv).size() > 2);
    // The failures are listed where the user can read and save them.
    auto *report = m_window->findChild<QPlainTextEdit *>(u"failureText"_s);
    QVERIFY(report);
    QVERIFY(report->toPlainText().contains(u"8A0B1C2D000000000C0900001449330E"_s));
    m_nextFile = m_dir->filePath(u"failures.txt"_s);
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"saveReportButton"_s), Qt::LeftButton);
    QFile saved(m_nextFile);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(saved.readAll()).contains(u"商品读取失败"_s));
}

void TestMainWindow::exportRefusesAPathWithoutCsv()
{
    makeWindow();
    child<QLineEdit>(u"csvPathBox"_s)->setText(m_dir->filePath(u"goods.Csv"_s));
    clickButton(u"makeCsvButton"_s);
    QCOMPARE(m_prompter.shown, QStringList{u"文件名要‘.csv’为扩展名"_s});
    QVERIFY(child<QPushButton>(u"makeCsvButton"_s)->isEnabled());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestMainWindow::exportStampsWithTheOpenWatermarkWindow()
{
    makeWindow();
    clickButton(u"watermarkButton"_s);
    auto *watermark = qobject_cast<App::WatermarkWindow *>(m_window->watermarkWindow());
    QVERIFY(watermark);
    Imaging::WatermarkSettings settings = watermark->settings();
    settings.text = u"未保存的水印"_s;  // typed, not saved
    watermark->setSettings(settings);
    child<QCheckBox>(u"watermarkCheck"_s)->setChecked(true);
    child<QListWidget>(u"itemList"_s)->addItem(Core::makeItemEntry(richItem, QString()));
    const QString folder = m_dir->filePath(u"wm"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(folder + u"/goods.csv"_s);
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));

    const QString url = u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s;
    QFile stamped(folder + u"/goods/韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮/"_s + Core::Md5Hex(url)
                  + u".JPG"_s);
    QVERIFY(stamped.open(QIODevice::ReadOnly));
    QByteArray expected;
    const QByteArray original = m_client->get({url, Core::WaitMode::Long}).body;
    QCOMPARE(Imaging::Watermarker(watermark->settings(), watermark->watermarkPicture())
                 .stamp(original, u"x.JPG"_s, &expected),
             Imaging::Watermarker::Outcome::Stamped);
    QCOMPARE(stamped.readAll(), expected);
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
    // The sample shop's list, imported as a user would.
    QFile sample(SandboxProcess::dataDir() + u"/sample-list.txt"_s);
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QStringList codes;
    for (const QString &line : QString::fromUtf8(sample.readAll()).split(u'\n', Qt::SkipEmptyParts))
        codes << Core::itemCodeFromEntry(line);
    m_nextFile = m_dir->filePath(u"sample.txt"_s);
    QFile addresses(m_nextFile);
    QVERIFY(addresses.open(QIODevice::WriteOnly));
    addresses.write(Core::writeItemAddresses(m_config, codes));
    addresses.close();
    QSignalSpy imported(m_window, &App::MainWindow::importFinished);
    clickButton(u"importButton"_s);
    QVERIFY(imported.wait(20000));
    m_window->grab().save(folder + u"/mainwindow.png"_s);
    child<QLineEdit>(u"csvPathBox"_s)->setText(m_dir->filePath(u"goods.csv"_s));
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    clickButton(u"makeCsvButton"_s);
    QVERIFY(finished.wait(30000));
    m_window->grab().save(folder + u"/exported.png"_s);
    if (QWidget *report = m_window->findChild<QWidget *>(u"failureReport"_s))
        report->grab().save(folder + u"/failures.png"_s);
    clickButton(u"rulesButton"_s);
    m_window->rulesWindow()->grab().save(folder + u"/rules.png"_s);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
