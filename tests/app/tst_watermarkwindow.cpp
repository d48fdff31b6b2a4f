#include "app/inlinewarning.h"
#include "app/prompter.h"
#include "app/watermarkwindow.h"

#include "core/text.h"
#include "imaging/watermark.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace App;
using Imaging::WatermarkSettings;

namespace {

// Answers every message box at once and remembers what it said.
class RecordingPrompter final : public Prompter
{
public:
    void inform(QWidget *, const QString &text, const QString &) override { messages.append(text); }
    bool confirm(QWidget *, const QString &text, const QString &) override
    {
        messages.append(text);
        return true;
    }

    QStringList messages;
};

QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writePicture(const QString &path, const QImage &image, const char *format)
{
    return image.save(path, format);
}

QByteArray detectedFormat(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

// A program folder with the two sample pictures, and a fresh window over it.
struct Fixture
{
    Fixture()
    {
        writePicture(dir.filePath(u"sy_pic1.jpg"_s), filled(400, 300, qRgb(240, 240, 240)), "png");
        writePicture(dir.filePath(u"sy_pic2.jpg"_s), filled(60, 40, qRgb(0, 0, 255)), "bmp");
    }

    std::unique_ptr<WatermarkWindow> open()
    {
        auto window = std::make_unique<WatermarkWindow>(dir.path(), prompter);
        window->setColourChooser([](QWidget *, const QColor &) { return QColor(); });
        window->setPictureChooser([](QWidget *, const QString &) { return QString(); });
        return window;
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    RecordingPrompter prompter;
};

template <typename T> T *child(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

QLineEdit *field(const QWidget &window, const QString &name)
{
    return child<QLineEdit>(window, name);
}

void click(const QWidget &window, const QString &buttonName)
{
    QTest::mouseClick(child<QPushButton>(window, buttonName), Qt::LeftButton);
}

bool showActive(QWidget &window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// Types into a field as the user would: ASCII by key presses, Chinese as an input method
// commits it (key events carry only ASCII in QtTest).
void type(QLineEdit *edit, const QString &text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 128) {
            QTest::keyClicks(edit, QString(ch));
            continue;
        }
        QInputMethodEvent event;
        event.setCommitString(QString(ch));
        QApplication::sendEvent(edit, &event);
    }
}

QStringList fieldTexts(const QWidget &window)
{
    QStringList texts;
    for (const QString &name : {u"text"_s, u"fontSize"_s, u"transparency"_s, u"red"_s, u"green"_s, u"blue"_s,
                                u"left"_s, u"top"_s, u"picturePath"_s})
        texts.append(field(window, name)->text());
    return texts;
}

} // namespace

class TestWatermarkWindow : public QObject
{
    Q_OBJECT

private slots:
    void opensWithDefaults();
    void opensFromSettingsFile_data();
    void opensFromSettingsFile();
    void modeSwitch();
    void hashIsRemovedAtOnce();
    void twentyCharacters();
    void numberChecks_data();
    void numberChecks();
    void colourDialog();
    void pictureDialog_data();
    void pictureDialog();
    void testAndBlendOnTheSample();
    void restoreSample();
    void saveSample();
    void saveSettingsRoundTrip();
    void saveSettingsFailure();
    void saveSettingsRefusesOutOfRange_data();
    void saveSettingsRefusesOutOfRange();
    void testSaysWhyNothingWasDrawn_data();
    void testSaysWhyNothingWasDrawn();
};

void TestWatermarkWindow::opensWithDefaults()
{
    Fixture fixture;
    const auto window = fixture.open();
    QCOMPARE(window->windowTitle(), u"图片水印设置"_s);
    QVERIFY(child<QRadioButton>(*window, u"textMode"_s)->isChecked());
    QCOMPARE(fieldTexts(*window), (QStringList{u"Pelmora软件"_s, u"16"_s, u"30"_s, u"255"_s, u"0"_s, u"0"_s,
                                               u"50"_s, u"50"_s, QString()}));
    QCOMPARE(window->settings(), WatermarkSettings());
    QCOMPARE(child<QLabel>(*window, u"swatch"_s)->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(window->samplePicture().size(), QSize(400, 300));
    QCOMPARE(window->watermarkPicture().size(), QSize(60, 40));
    QVERIFY(fixture.prompter.messages.isEmpty());
}

void TestWatermarkWindow::opensFromSettingsFile_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("pictureMode");
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QColor>("swatch");
    // "chosen" in a line stands for a 7 by 5 picture in the program folder.
    QTest::newRow("text mode") << u"文字水印#店#20#40#0#128#255#10#90#"_s << false << QSize(60, 40)
                               << QColor(0, 128, 255);
    QTest::newRow("picture mode, chosen picture")
        << u"图片水印#店#20#40#1#2#3#10#90#chosen.gif"_s << true << QSize(7, 5) << QColor(1, 2, 3);
    QTest::newRow("any other first field is picture mode")
        << u"picture#店#20#40#1#2#3#10#90#chosen.gif"_s << true << QSize(7, 5) << QColor(1, 2, 3);
    QTest::newRow("missing picture falls back")
        << u"图片水印#店#20#40#1#2#3#10#90#gone.bmp"_s << true << QSize(60, 40) << QColor(1, 2, 3);
    QTest::newRow("short line keeps defaults")
        << u"图片水印#店"_s << true << QSize(60, 40) << QColor(255, 0, 0);
    QTest::newRow("colour as typed") << u"文字水印#店#20#40#x#300#-4#10#90#"_s << false << QSize(60, 40)
                                     << QColor(0, 255, 0);
}

void TestWatermarkWindow::opensFromSettingsFile()
{
    QFETCH(QString, line);
    QFETCH(bool, pictureMode);
    QFETCH(QSize, pictureSize);
    QFETCH(QColor, swatch);
    Fixture fixture;
    QVERIFY(writePicture(fixture.path(u"chosen.gif"_s), filled(7, 5, qRgb(9, 9, 9)), "bmp"));
    line.replace(u"chosen.gif"_s, fixture.path(u"chosen.gif"_s));
    line.replace(u"gone.bmp"_s, fixture.path(u"gone.bmp"_s));
    QVERIFY(writeFile(fixture.path(u"setsy.txt"_s), Core::encodeAnsi(line) + "\r\n"));

    const auto window = fixture.open();
    QCOMPARE(child<QRadioButton>(*window, u"pictureMode"_s)->isChecked(), pictureMode);
    QCOMPARE(field(*window, u"picturePath"_s)->isEnabled(), pictureMode);
    QCOMPARE(field(*window, u"text"_s)->text(), u"店"_s);
    QCOMPARE(window->watermarkPicture().size(), pictureSize);
    QCOMPARE(child<QLabel>(*window, u"swatch"_s)->palette().color(QPalette::Window), swatch);
    // Whatever the file held is shown as it is, without warnings.
    QVERIFY(fixture.prompter.messages.isEmpty());
}

void TestWatermarkWindow::modeSwitch()
{
    Fixture fixture;
    const auto window = fixture.open();
    QVERIFY(showActive(*window));
    const auto enabled = [&window] {
        QList<bool> states;
        for (const QString &name : {u"text"_s, u"fontSize"_s})
            states.append(field(*window, name)->isEnabled());
        states.append(child<QPushButton>(*window, u"chooseColour"_s)->isEnabled());
        states.append(field(*window, u"picturePath"_s)->isEnabled());
        states.append(child<QPushButton>(*window, u"choosePicture"_s)->isEnabled());
        return states;
    };
    QCOMPARE(enabled(), (QList<bool>{true, true, true, false, false}));
    QTest::mouseClick(child<QRadioButton>(*window, u"pictureMode"_s), Qt::LeftButton);
    QCOMPARE(window->settings().mode, WatermarkSettings::Mode::Picture);
    QCOMPARE(enabled(), (QList<bool>{false, false, false, true, true}));
    QTest::mouseClick(child<QRadioButton>(*window, u"textMode"_s), Qt::LeftButton);
    QCOMPARE(window->settings().mode, WatermarkSettings::Mode::Text);
    QCOMPARE(enabled(), (QList<bool>{true, true, true, false, false}));
}

void TestWatermarkWindow::hashIsRemovedAtOnce()
{
    Fixture fixture;
    const auto window = fixture.open();
    QVERIFY(showActive(*window));
    QLineEdit *text = field(*window, u"text"_s);
    text->clear();
    QTest::keyClicks(text, u"ab#c"_s);
    QCOMPARE(text->text(), u"abc"_s);
    text->setCursorPosition(1);
    QTest::keyClicks(text, u"#"_s);
    QCOMPARE(text->text(), u"abc"_s);
    QCOMPARE(text->cursorPosition(), 1);
    QVERIFY(fixture.prompter.messages.isEmpty());
}

void TestWatermarkWindow::twentyCharacters()
{
    Fixture fixture;
    const auto window = fixture.open();
    QVERIFY(showActive(*window));
    QLineEdit *text = field(*window, u"text"_s);
    text->clear();
    field(*window, u"left"_s)->setFocus();
    type(text, u"一二三四五六七八九十abcdefghi#j"_s);
    QCOMPARE(text->text().size(), 20);
    QVERIFY(fixture.prompter.messages.isEmpty());
    QTest::keyClicks(text, u"k"_s);
    QCOMPARE(fixture.prompter.messages, QStringList{u"水印文字请在20个以内"_s});
    QCOMPARE(text->text(), QString());
    QCOMPARE(QApplication::focusWidget(), text);
}

void TestWatermarkWindow::numberChecks_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("warned");
    const QString fontSize = u"fontSize"_s;
    // Every keystroke is checked, beside the box: typing "16" passes "1" and loses nothing.
    QTest::newRow("font 16") << fontSize << u"16"_s << false;
    QTest::newRow("font 72") << fontSize << u"72"_s << false;
    QTest::newRow("font 73") << fontSize << u"73"_s << true;
    QTest::newRow("font 1e1") << fontSize << u"1e1"_s << true;
    QTest::newRow("font x") << fontSize << u"x"_s << true;
    QTest::newRow("transparency 30") << u"transparency"_s << u"30"_s << false;
    QTest::newRow("transparency 100") << u"transparency"_s << u"100"_s << false;
    QTest::newRow("transparency 0 despite its label") << u"transparency"_s << u"0"_s << true;
    QTest::newRow("transparency 101") << u"transparency"_s << u"101"_s << true;
    QTest::newRow("left 1") << u"left"_s << u"1"_s << false;
    QTest::newRow("left -5") << u"left"_s << u"-5"_s << true;
    QTest::newRow("top 50") << u"top"_s << u"50"_s << false;
    QTest::newRow("top abc") << u"top"_s << u"abc"_s << true;
}

void TestWatermarkWindow::numberChecks()
{
    QFETCH(QString, fieldName);
    QFETCH(QString, typed);
    QFETCH(bool, warned);
    Fixture fixture;
    const auto window = fixture.open();
    QVERIFY(showActive(*window));
    QLineEdit *edit = field(*window, fieldName);
    auto *warning = window->findChild<App::InlineWarning *>(u"settingsWarning"_s);
    QVERIFY(warning);
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, typed);
    const QString message =
        fieldName == u"fontSize"_s ? u"请输入12至72之间的数字"_s : u"请输入1至100之间的数字"_s;
    // No message box: every keystroke reached the box, the value stays as typed.
    QVERIFY(fixture.prompter.messages.isEmpty());
    QCOMPARE(edit->text(), typed);
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(warning->warning(edit), warned ? message : QString());
    QCOMPARE(warning->isVisibleTo(window.get()) && !warning->text().isEmpty(), warned);
    // Put right, the warning goes.
    edit->clear();
    QTest::keyClicks(edit, u"50"_s);
    QCOMPARE(warning->warning(edit), QString());
}

void TestWatermarkWindow::colourDialog()
{
    Fixture fixture;
    const auto window = fixture.open();
    QColor offered;
    window->setColourChooser([&offered](QWidget *, const QColor &current) {
        offered = current;
        return QColor(); // cancelled
    });
    click(*window, u"chooseColour"_s);
    QCOMPARE(offered, QColor(255, 0, 0));
    QCOMPARE(window->settings(), WatermarkSettings());

    window->setColourChooser([](QWidget *, const QColor &) { return QColor(12, 34, 56); });
    click(*window, u"chooseColour"_s);
    QCOMPARE(field(*window, u"red"_s)->text(), u"12"_s);
    QCOMPARE(field(*window, u"green"_s)->text(), u"34"_s);
    QCOMPARE(field(*window, u"blue"_s)->text(), u"56"_s);
    QCOMPARE(child<QLabel>(*window, u"swatch"_s)->palette().color(QPalette::Window), QColor(12, 34, 56));
    QVERIFY(fixture.prompter.messages.isEmpty());
}

void TestWatermarkWindow::pictureDialog_data()
{
    QTest::addColumn<QString>("chosen"); // a name in the program folder, or empty when cancelled
    QTest::addColumn<bool>("pathTaken");
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("picture mode loads") << u"mark.bmp"_s << true << QSize(7, 5) << QStringList();
    QTest::newRow("upper-case extension") << u"MARK.JPG"_s << true << QSize(8, 6) << QStringList();
    QTest::newRow("name without jpg, gif or bmp") << u"mark.png"_s << false << QSize(60, 40) << QStringList();
    QTest::newRow("jpg inside the name only") << u"jpg.png"_s << true << QSize(60, 40) << QStringList();
    QTest::newRow("cancelled") << QString() << false << QSize(60, 40) << QStringList();
    QTest::newRow("not a picture keeps the old one")
        << u"broken.gif"_s << true << QSize(60, 40) << QStringList{u"无法读取图片：broken.gif"_s};
}

void TestWatermarkWindow::pictureDialog()
{
    QFETCH(QString, chosen);
    QFETCH(bool, pathTaken);
    QFETCH(QSize, pictureSize);
    QFETCH(QStringList, messages);
    Fixture fixture;
    QVERIFY(writePicture(fixture.path(u"mark.bmp"_s), filled(7, 5, qRgb(1, 1, 1)), "bmp"));
    QVERIFY(writePicture(fixture.path(u"MARK.JPG"_s), filled(8, 6, qRgb(1, 1, 1)), "jpeg"));
    QVERIFY(writePicture(fixture.path(u"mark.png"_s), filled(9, 9, qRgb(1, 1, 1)), "png"));
    QVERIFY(writeFile(fixture.path(u"broken.gif"_s), "not a picture"));
    const auto window = fixture.open();
    QVERIFY(showActive(*window));
    QTest::mouseClick(child<QRadioButton>(*window, u"pictureMode"_s), Qt::LeftButton);
    const QString chosenPath = chosen.isEmpty() ? QString() : fixture.path(chosen);
    QString filter;
    window->setPictureChooser([&](QWidget *, const QString &offered) {
        filter = offered;
        return chosenPath;
    });
    click(*window, u"choosePicture"_s);
    QCOMPARE(filter, u"图片文件(*.jpg *.gif *.bmp)"_s);
    QCOMPARE(field(*window, u"picturePath"_s)->text(), pathTaken ? chosenPath : QString());
    QCOMPARE(window->watermarkPicture().size(), pictureSize);
    for (QString &message : messages)
        message.replace(u"broken.gif"_s, fixture.path(u"broken.gif"_s));
    QCOMPARE(fixture.prompter.messages, messages);
}

void TestWatermarkWindow::testAndBlendOnTheSample()
{
    Fixture fixture;
    const auto window = fixture.open();
    const QImage original = window->samplePicture();

    // "测试水印" draws what the fields say, text mode ...
    field(*window, u"text"_s)->setText(u"测试"_s);
    field(*window, u"left"_s)->setText(u"1"_s);
    click(*window, u"testWatermark"_s);
    QImage expected = original;
    QVERIFY(Imaging::DrawWatermark(expected, window->settings(), window->watermarkPicture()));
    QCOMPARE(window->samplePicture(), expected);
    QVERIFY(expected != original);
    QCOMPARE(
        child<QLabel>(*window, u"sampleView"_s)->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
        expected);

    // ... and picture mode, with the blue watermark picture blended at 30 per cent in the middle:
    // 0 − (0 − 240) × 30 / 100 = 72 and 255 − (255 − 240) × 30 / 100 = 250.5, rounded to even.
    child<QRadioButton>(*window, u"pictureMode"_s)->setChecked(true);
    field(*window, u"left"_s)->setText(u"50"_s);
    click(*window, u"testWatermark"_s);
    QCOMPARE(window->samplePicture().pixel(200, 150), qRgb(72, 72, 250));
    QCOMPARE(window->samplePicture().pixel(200, 100), qRgb(240, 240, 240));

    // "图片水印" puts it half-transparent 20 pixels from the corner.
    click(*window, u"blendPicture"_s);
    QCOMPARE(window->samplePicture().pixel(400 - 20 - 1, 300 - 20 - 1), qRgb(120, 120, 248));
    QCOMPARE(window->samplePicture().pixel(400 - 20, 300 - 20), qRgb(240, 240, 240));
    QVERIFY(fixture.prompter.messages.isEmpty());
}

void TestWatermarkWindow::restoreSample()
{
    Fixture fixture;
    const auto window = fixture.open();
    const QImage original = window->samplePicture();
    click(*window, u"blendPicture"_s);
    QVERIFY(window->samplePicture() != original);
    click(*window, u"restoreSample"_s);
    QCOMPARE(window->samplePicture(), original);

    // Without "sy_pic1.jpg" the picture stays and the user is told.
    click(*window, u"blendPicture"_s);
    const QImage drawn = window->samplePicture();
    QVERIFY(QFile::remove(fixture.path(u"sy_pic1.jpg"_s)));
    click(*window, u"restoreSample"_s);
    QCOMPARE(window->samplePicture(), drawn);
    QCOMPARE(fixture.prompter.messages, QStringList{u"无法读取图片："_s + fixture.path(u"sy_pic1.jpg"_s)});
}

void TestWatermarkWindow::saveSample()
{
    Fixture fixture;
    const auto window = fixture.open();
    click(*window, u"testWatermark"_s);
    const QImage drawn = window->samplePicture();
    click(*window, u"saveSample"_s);
    QVERIFY(fixture.prompter.messages.isEmpty());
    QCOMPARE(detectedFormat(fixture.path(u"P1.jpg"_s)), QByteArray("bmp"));
    QCOMPARE(Imaging::loadPicture(fixture.path(u"P1.jpg"_s)).convertToFormat(QImage::Format_RGB32), drawn);
    QCOMPARE(detectedFormat(fixture.path(u"c.jpg"_s)), QByteArray("jpeg"));
    QCOMPARE(Imaging::loadPicture(fixture.path(u"c.jpg"_s)).size(), drawn.size());

    // A program folder that is gone: "保存失败".
    const auto lost = std::make_unique<WatermarkWindow>(fixture.path(u"gone"_s), fixture.prompter);
    click(*lost, u"saveSample"_s);
    QCOMPARE(fixture.prompter.messages, QStringList{u"保存失败"_s});
}

void TestWatermarkWindow::saveSettingsRoundTrip()
{
    Fixture fixture;
    {
        const auto window = fixture.open();
        QVERIFY(showActive(*window));
        field(*window, u"text"_s)->setText(u"新店\"开张\""_s);
        field(*window, u"fontSize"_s)->setText(u"99"_s);
        window->setColourChooser([](QWidget *, const QColor &) { return QColor(0, 128, 64); });
        click(*window, u"chooseColour"_s);
        // Picture mode disables the text, the size and "取色"; what they hold is saved all the same,
        // a size out of its range too: only the boxes the user can edit are checked.
        QTest::mouseClick(child<QRadioButton>(*window, u"pictureMode"_s), Qt::LeftButton);
        field(*window, u"transparency"_s)->setText(u"1"_s);
        field(*window, u"left"_s)->setText(u"100"_s);
        field(*window, u"picturePath"_s)->setText(u"D:\\水印\\标志.jpg"_s);
        click(*window, u"saveSettings"_s);
        QCOMPARE(fixture.prompter.messages, QStringList{u"保存完成"_s});
    }
    const QByteArray line =
        Core::encodeAnsi(u"图片水印#新店开张#99#1#0#128#64#100#50#D:\\水印\\标志.jpg"_s) + "\r\n";
    QCOMPARE(readFile(fixture.path(u"setsy.txt"_s)), line);

    const auto reopened = fixture.open();
    QVERIFY(child<QRadioButton>(*reopened, u"pictureMode"_s)->isChecked());
    QCOMPARE(fieldTexts(*reopened), (QStringList{u"新店开张"_s, u"99"_s, u"1"_s, u"0"_s, u"128"_s, u"64"_s,
                                                 u"100"_s, u"50"_s, u"D:\\水印\\标志.jpg"_s}));
    // Saving again without a change writes the same bytes.
    click(*reopened, u"saveSettings"_s);
    QCOMPARE(readFile(fixture.path(u"setsy.txt"_s)), line);
}

void TestWatermarkWindow::saveSettingsFailure()
{
    Fixture fixture;
    // setsy.txt as a folder: it cannot be replaced, and the folder stays as it is.
    QVERIFY(QDir(fixture.dir.path()).mkdir(u"setsy.txt"_s));
    const auto window = fixture.open();
    click(*window, u"saveSettings"_s);
    QCOMPARE(fixture.prompter.messages.size(), 1);
    QVERIFY(fixture.prompter.messages.at(0).startsWith(u"保存失败："_s));
    QVERIFY(QFileInfo(fixture.path(u"setsy.txt"_s)).isDir());
}

void TestWatermarkWindow::saveSettingsRefusesOutOfRange_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    const QString percent = u"请输入1至100之间的数字，设置没有保存"_s;
    QTest::newRow("font size above") << u"fontSize"_s << u"99"_s
                                     << u"字号：请输入12至72之间的数字，设置没有保存"_s;
    QTest::newRow("font size below") << u"fontSize"_s << u"11"_s
                                     << u"字号：请输入12至72之间的数字，设置没有保存"_s;
    QTest::newRow("transparency not a number") << u"transparency"_s << u"abc"_s << u"透明度："_s + percent;
    QTest::newRow("transparency 0") << u"transparency"_s << u"0"_s << u"透明度："_s + percent;
    QTest::newRow("left empty") << u"left"_s << QString() << u"左边距："_s + percent;
    QTest::newRow("top above") << u"top"_s << u"101"_s << u"上边距："_s + percent;
    QTest::newRow("blue above") << u"blue"_s << u"256"_s
                                << u"颜色（蓝）：请输入0至255之间的数字，设置没有保存"_s;
}

void TestWatermarkWindow::saveSettingsRefusesOutOfRange()
{
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, message);
    Fixture fixture;
    const QByteArray before = Core::encodeAnsi(u"文字水印#旧的#16#30#255#0#0#50#50#"_s) + "\r\n";
    QVERIFY(writeFile(fixture.path(u"setsy.txt"_s), before));
    const auto window = fixture.open();
    QVERIFY(showActive(*window));
    QLineEdit *edit = field(*window, box);
    edit->selectAll();
    type(edit, value);
    if (value.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    field(*window, u"text"_s)->setFocus();
    click(*window, u"saveSettings"_s);
    QCOMPARE(fixture.prompter.messages, QStringList{message});
    QCOMPARE(readFile(fixture.path(u"setsy.txt"_s)), before);
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->text(), value); // the value stays for the user to mend

    // Mended, it saves.
    edit->setText(box == u"fontSize"_s ? u"20"_s : u"60"_s);
    fixture.prompter.messages.clear();
    click(*window, u"saveSettings"_s);
    QCOMPARE(fixture.prompter.messages, QStringList{u"保存完成"_s});
    QVERIFY(readFile(fixture.path(u"setsy.txt"_s)) != before);
}

void TestWatermarkWindow::testSaysWhyNothingWasDrawn_data()
{
    QTest::addColumn<bool>("pictureMode");
    QTest::addColumn<QString>("fontSize");
    QTest::addColumn<bool>("withWatermarkPicture");
    QTest::addColumn<QString>("message");
    const QString tooLarge =
        u"水印放不下：示例图片要比水印文字和水印图片都大，请调小字号或换一张小一些的水印图片"_s;
    QTest::newRow("text wider than the sample") << false << u"300"_s << true << tooLarge;
    QTest::newRow("picture mode, text too large all the same") << true << u"300"_s << true << tooLarge;
    QTest::newRow("picture mode without a picture")
        << true << u"16"_s << false << u"没有水印图片，请点“取水印图”选择一张"_s;
}

void TestWatermarkWindow::testSaysWhyNothingWasDrawn()
{
    QFETCH(bool, pictureMode);
    QFETCH(QString, fontSize);
    QFETCH(bool, withWatermarkPicture);
    QFETCH(QString, message);
    Fixture fixture;
    if (!withWatermarkPicture)
        QVERIFY(QFile::remove(fixture.path(u"sy_pic2.jpg"_s)));
    const auto window = fixture.open();
    field(*window, u"fontSize"_s)->setText(fontSize);
    child<QRadioButton>(*window, pictureMode ? u"pictureMode"_s : u"textMode"_s)->setChecked(true);
    const QImage original = window->samplePicture();
    click(*window, u"testWatermark"_s);
    QCOMPARE(fixture.prompter.messages, QStringList{message});
    QCOMPARE(window->samplePicture(), original);

    // Without a sample picture there is nothing to test on.
    QVERIFY(QFile::remove(fixture.path(u"sy_pic1.jpg"_s)));
    const auto bare = fixture.open();
    fixture.prompter.messages.clear();
    click(*bare, u"testWatermark"_s);
    QCOMPARE(fixture.prompter.messages, QStringList{u"没有示例图片，无法测试水印"_s});
}

QTEST_MAIN(TestWatermarkWindow)
#include "tst_watermarkwindow.moc"
