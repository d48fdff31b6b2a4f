// The caption bar in a window of its own per test, with the solid test skin: what each Style
// draws and does, maximise and restore, dragging, stay-on-top, the title layers.

#include "chromewindow.h"

#include "skin/borderresize.h"

#include <QFileInfo>
#include <QLabel>

#include <memory>

using namespace Skin;

Q_DECLARE_METATYPE(Skin::CaptionButton)

namespace {

QRgb colour(const QString &key)
{
    return TestSkin::colour(key);
}

struct ButtonPictures
{
    QString normal;
    QString highlighted;
    QString pressed;
};

ButtonPictures picturesOf(CaptionButton button)
{
    switch (button) {
    case CaptionButton::Close:
        return {u"CLOSE"_s, u"CLOSE3"_s, u"CLOSE2"_s};
    case CaptionButton::MaxRestore:
        return {u"MAX"_s, u"MAX3"_s, u"MAX2"_s};
    case CaptionButton::Minimise:
        return {u"MIN"_s, u"MIN3"_s, u"MIN2"_s};
    case CaptionButton::OnTop:
        break;
    }
    return {u"ONTOP1"_s, u"ONTOP1"_s, u"ONTOP1"_s};
}

// A point on the bar away from the title and the buttons.
constexpr QPoint openBar(300, 12);

} // namespace

class TestCaptionBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void stylesDrawAndAct_data();
    void stylesDrawAndAct();
    void doubleClick_data();
    void doubleClick();
    void doubleClickOnTheTitle();
    void maximiseAndRestore_data();
    void maximiseAndRestore();
    void failedWorkAreaChangesNothing();
    void systemMaximiseIsTakenOver();
    void drag_data();
    void drag();
    void highlightFollowsThePointer();
    void onTopTwice();
    void onTopWithoutControlBox();
    void missingPressedPicture();
    void titleLayers();
    void skinIsReadAgainOnlyWhenTheFileChanged();

private:
    std::unique_ptr<SolidSkinFile> m_skin;
};

void TestCaptionBar::initTestCase()
{
    m_skin = std::make_unique<SolidSkinFile>();
    QVERIFY2(m_skin->error().isEmpty(), qPrintable(m_skin->error()));
}

void TestCaptionBar::init()
{
    setBorderResizeEnabled(false);
}

void TestCaptionBar::stylesDrawAndAct_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<CaptionButton>("button");
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<bool>("acts");
    const CaptionButton close = CaptionButton::Close;
    const CaptionButton max = CaptionButton::MaxRestore;
    const CaptionButton min = CaptionButton::Minimise;
    QTest::newRow("0 close") << 0 << close << true << true;
    QTest::newRow("0 maximise") << 0 << max << false << false;
    QTest::newRow("0 minimise") << 0 << min << false << false;
    QTest::newRow("1 close") << 1 << close << true << true;
    QTest::newRow("1 maximise") << 1 << max << true << true;
    QTest::newRow("1 minimise") << 1 << min << true << true;
    QTest::newRow("2 close") << 2 << close << true << true;
    QTest::newRow("2 maximise") << 2 << max << true << true;
    QTest::newRow("2 minimise") << 2 << min << true << true;
    QTest::newRow("3 close") << 3 << close << true << true;
    QTest::newRow("3 maximise") << 3 << max << true << false;
    QTest::newRow("3 minimise") << 3 << min << true << true;
    QTest::newRow("4 close") << 4 << close << true << false;
    QTest::newRow("4 maximise") << 4 << max << true << true;
    QTest::newRow("4 minimise") << 4 << min << true << true;
}

void TestCaptionBar::stylesDrawAndAct()
{
    QFETCH(int, style);
    QFETCH(CaptionButton, button);
    QFETCH(bool, drawn);
    QFETCH(bool, acts);
    ChromeWindow window(m_skin->path(), style);
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    const ButtonPictures pictures = picturesOf(button);
    const QPoint at = window.centre(button);
    const QRgb idle = drawn ? colour(pictures.normal) : colour(u"TOPMID"_s);
    QCOMPARE(window.barPixel(button), idle);

    Pointer::move(bar, at);
    QCOMPARE(bar->isHighlighted(), acts);
    QCOMPARE(window.barPixel(button), acts ? colour(pictures.highlighted) : idle);
    Pointer::press(bar, at);
    QCOMPARE(window.barPixel(button), acts ? colour(pictures.pressed) : idle);
    Pointer::release(bar, at);

    if (!acts) {
        QCOMPARE(window.barPixel(button), idle);
        QVERIFY(window.host.isVisible());
        QVERIFY(!window.host.isMinimized());
        QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry);
        QCOMPARE(bar->Style2(), 2);
        return;
    }
    switch (button) {
    case CaptionButton::Close:
        QVERIFY(!window.host.isVisible());
        break;
    case CaptionButton::MaxRestore:
        QVERIFY(bar->isMaximised());
        QCOMPARE(window.host.geometry(), QRect(0, 0, 1024, 738));
        QCOMPARE(bar->Style2(), 1);
        QCOMPARE(window.barPixel(button), colour(u"RES1"_s));
        break;
    case CaptionButton::Minimise:
        QVERIFY(window.host.isMinimized());
        QCOMPARE(bar->Style2(), 0);
        break;
    case CaptionButton::OnTop:
        break;
    }
}

void TestCaptionBar::doubleClick_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("maximises");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("2") << 2 << true;
    QTest::newRow("3") << 3 << false;
    QTest::newRow("4") << 4 << true;
}

void TestCaptionBar::doubleClick()
{
    QFETCH(int, style);
    QFETCH(bool, maximises);
    ChromeWindow window(m_skin->path(), style);
    QVERIFY(window.exposed());
    Pointer::doubleClick(window.caption(), openBar);
    QCOMPARE(window.caption()->isMaximised(), maximises);
    QCOMPARE(window.host.geometry(), maximises ? QRect(0, 0, 1024, 738) : ChromeWindow::startGeometry);
    // A second double-click puts the window back; the release that ends a double-click is
    // not a click of its own.
    Pointer::doubleClick(window.caption(), openBar);
    QVERIFY(!window.caption()->isMaximised());
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry);
}

void TestCaptionBar::doubleClickOnTheTitle()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    auto *title = window.caption()->findChild<QLabel *>(u"Label1"_s);
    QVERIFY(title);
    Pointer::doubleClick(title, QPoint(5, 5));
    QVERIFY(window.caption()->isMaximised());
}

void TestCaptionBar::maximiseAndRestore_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("maximised");
    QTest::newRow("taskbar at the bottom") << QRect(0, 0, 1024, 738) << QRect(0, 0, 1024, 738);
    QTest::newRow("taskbar at the left") << QRect(60, 0, 964, 768) << QRect(60, 0, 964, 768);
    QTest::newRow("taskbar at the top") << QRect(0, 30, 1024, 738) << QRect(0, 30, 1024, 738);
}

void TestCaptionBar::maximiseAndRestore()
{
    QFETCH(QRect, available);
    QFETCH(QRect, maximised);
    ChromeWindow window(m_skin->path());
    window.workArea = workAreaOf(available);
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    // Style 1 switches edge resizing on with its first resize.
    QVERIFY(BorderResizeEnabled());
    const QRect before(130, 90, 457, 263);
    window.host.setGeometry(before);

    Pointer::move(bar, window.centre(CaptionButton::MaxRestore));
    Pointer::click(bar, window.centre(CaptionButton::MaxRestore));
    QVERIFY(bar->isMaximised());
    QCOMPARE(window.host.geometry(), maximised);
    QCOMPARE(bar->Style2(), 1);
    QVERIFY(!BorderResizeEnabled());
    QCOMPARE(window.barPixel(CaptionButton::MaxRestore), colour(u"RES1"_s));

    // The restore button's own pictures: highlighted RES2, pressed RES3.
    const QPoint restore = window.centre(CaptionButton::MaxRestore);
    Pointer::move(bar, restore);
    QCOMPARE(window.barPixel(CaptionButton::MaxRestore), colour(u"RES2"_s));
    Pointer::press(bar, restore);
    QCOMPARE(window.barPixel(CaptionButton::MaxRestore), colour(u"RES3"_s));
    Pointer::release(bar, restore);

    QVERIFY(!bar->isMaximised());
    QCOMPARE(window.host.geometry(), before);
    QCOMPARE(bar->Style2(), 2);
    QVERIFY(BorderResizeEnabled());
    QCOMPARE(window.barPixel(CaptionButton::MaxRestore), colour(u"MAX"_s));
}

void TestCaptionBar::failedWorkAreaChangesNothing()
{
    ChromeWindow window(m_skin->path());
    window.workArea.reset();
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    const auto whiteNearTheLeft = [&] {
        const QImage image = bar->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < 20; ++x)
                if (image.pixel(x, y) == 0xffffffffu)
                    return true;
        return false;
    };
    QVERIFY(!whiteNearTheLeft());

    Pointer::move(bar, window.centre(CaptionButton::MaxRestore));
    Pointer::click(bar, window.centre(CaptionButton::MaxRestore));
    QVERIFY(!bar->isMaximised());
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry);
    QCOMPARE(bar->Style2(), 2);
    QVERIFY(BorderResizeEnabled());
    QVERIFY(window.chrome->leftBorder()->isVisible());
    QVERIFY(bar->showsFailureText());
    QCOMPARE(JSCAPTION::workAreaFailureText(), u"调用 SystemParametersInfo 失败"_s);
    // The text in the skin's text colour, from the bar's left edge.
    QVERIFY(whiteNearTheLeft());

    // Nothing was saved, so a double-click can't "restore" the window to nothing either.
    Pointer::doubleClick(bar, openBar);
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry);
}

void TestCaptionBar::systemMaximiseIsTakenOver()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    window.host.showMaximized();
    QTRY_VERIFY(bar->isMaximised());
    QTRY_COMPARE(window.host.geometry(), QRect(0, 0, 1024, 738));
    QVERIFY(!(window.host.windowState() & Qt::WindowMaximized));
    QCOMPARE(bar->Style2(), 1);
    QVERIFY(!window.chrome->bottomBorder()->isVisible());
    QCOMPARE(window.barPixel(CaptionButton::MaxRestore), colour(u"RES1"_s));

    Pointer::move(bar, window.centre(CaptionButton::MaxRestore));
    Pointer::click(bar, window.centre(CaptionButton::MaxRestore));
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry);
    QCOMPARE(bar->Style2(), 2);
}

void TestCaptionBar::drag_data()
{
    QTest::addColumn<bool>("movable");
    QTest::addColumn<bool>("maximisedFirst");
    QTest::addColumn<bool>("onTitle");
    QTest::addColumn<bool>("moves");
    QTest::newRow("bar") << true << false << false << true;
    QTest::newRow("title") << true << false << true << true;
    QTest::newRow("not movable") << false << false << false << false;
    QTest::newRow("maximised") << true << true << false << false;
}

void TestCaptionBar::drag()
{
    QFETCH(bool, movable);
    QFETCH(bool, maximisedFirst);
    QFETCH(bool, onTitle);
    QFETCH(bool, moves);
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    bar->setMovable(movable);
    if (maximisedFirst)
        bar->workAreaMaximise();
    const QRect before = window.host.geometry();

    QWidget *target = onTitle ? bar->findChild<QLabel *>(u"Label1"_s) : static_cast<QWidget *>(bar);
    const QPoint start = onTitle ? QPoint(5, 5) : openBar;
    const QPoint global = target->mapToGlobal(start);
    // Real pointer events keep their screen position while the window moves under them.
    const auto moveTo = [target](QPoint screen) {
        Pointer::send(target, QEvent::MouseMove, target->mapFromGlobal(screen), Qt::NoButton, Qt::LeftButton);
    };
    Pointer::press(target, start);
    moveTo(global + QPoint(2, 1)); // within the threshold: a double-click stays possible
    QCOMPARE(window.host.geometry(), before);
    moveTo(global + QPoint(40, 30));
    moveTo(global + QPoint(60, 45));
    Pointer::release(target, target->mapFromGlobal(global + QPoint(60, 45)));
    QCOMPARE(window.host.geometry(), moves ? before.translated(60, 45) : before);
}

void TestCaptionBar::highlightFollowsThePointer()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    const CaptionLayout layout = bar->buttonLayout();
    const ButtonSpan close = layout.span(CaptionButton::Close);
    const int bandRow = layout.fromTop + 1;

    // On the band's own rows nothing lights up.
    Pointer::move(bar, QPoint(close.left + 5, layout.fromTop));
    QVERIFY(!bar->isHighlighted());
    Pointer::move(bar, QPoint(close.left + 5, layout.fromTop + layout.closeHeight));
    QVERIFY(!bar->isHighlighted());

    Pointer::move(bar, QPoint(close.left + 1, bandRow));
    QVERIFY(bar->isHighlighted());
    QCOMPARE(bar->hoveredButton(), int(CaptionButton::Close));
    // The button's left edge, inside the band, is over no button.
    Pointer::move(bar, QPoint(close.left, bandRow));
    QVERIFY(!bar->isHighlighted());
    QCOMPARE(window.barPixel(CaptionButton::Close), colour(u"CLOSE"_s));

    // Jumping from one button straight onto another leaves only the new one lit.
    Pointer::move(bar, window.centre(CaptionButton::Close));
    Pointer::move(bar, window.centre(CaptionButton::Minimise));
    QCOMPARE(bar->hoveredButton(), int(CaptionButton::Minimise));
    QCOMPARE(window.barPixel(CaptionButton::Minimise), colour(u"MIN3"_s));
    QCOMPARE(window.barPixel(CaptionButton::Close), colour(u"CLOSE"_s));

    // Our choice: leaving the band or the bar drops the highlight, so a press there can't
    // act on a button the pointer has left.
    Pointer::move(bar, QPoint(window.centre(CaptionButton::Minimise).x(), layout.fromTop));
    QVERIFY(!bar->isHighlighted());
    Pointer::move(bar, window.centre(CaptionButton::Close));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bar, &leave);
    QVERIFY(!bar->isHighlighted());
    QCOMPARE(window.barPixel(CaptionButton::Close), colour(u"CLOSE"_s));
    Pointer::click(bar, QPoint(window.centre(CaptionButton::Close).x(), layout.fromTop));
    QVERIFY(window.host.isVisible());
}

void TestCaptionBar::onTopTwice()
{
    ChromeWindow window(m_skin->path(), 1, true);
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    const QPoint button = window.centre(CaptionButton::OnTop);
    QCOMPARE(window.barPixel(CaptionButton::OnTop), colour(u"ONTOP1"_s));

    Pointer::move(bar, button);
    QVERIFY(bar->isHighlighted());
    QCOMPARE(bar->hoveredButton(), int(CaptionButton::OnTop));
    Pointer::click(bar, button);
    QVERIFY(bar->ONTOP());
    QVERIFY(window.host.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.host.isVisible());
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry);
    QCOMPARE(window.barPixel(CaptionButton::OnTop), colour(u"ONTOP3"_s));

    Pointer::click(bar, button);
    QVERIFY(!bar->ONTOP());
    QVERIFY(!window.host.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.host.isVisible());
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry);
    QCOMPARE(window.barPixel(CaptionButton::OnTop), colour(u"ONTOP1"_s));
}

void TestCaptionBar::onTopWithoutControlBox()
{
    ChromeWindow window(m_skin->path(), 1, true);
    window.caption()->setControlBox(false);
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    // Drawn where it always is, left of where the other three would be.
    QCOMPARE(window.barPixel(CaptionButton::OnTop), colour(u"ONTOP1"_s));
    QCOMPARE(window.barPixel(CaptionButton::Close), colour(u"TOPMID"_s));
    QCOMPARE(window.barPixel(CaptionButton::MaxRestore), colour(u"TOPMID"_s));
    QCOMPARE(window.barPixel(CaptionButton::Minimise), colour(u"TOPMID"_s));
    Pointer::move(bar, window.centre(CaptionButton::OnTop));
    QVERIFY(!bar->isHighlighted());
    Pointer::click(bar, window.centre(CaptionButton::OnTop));
    QVERIFY(!bar->ONTOP());
    Pointer::click(bar, window.centre(CaptionButton::Close));
    QVERIFY(window.host.isVisible());
}

void TestCaptionBar::missingPressedPicture()
{
    TestSkin skin = TestSkin::solid();
    skin.remove(u"MAX2"_s);
    SolidSkinFile file(skin, u"nomax2"_s);
    QVERIFY2(file.error().isEmpty(), qPrintable(file.error()));
    ChromeWindow window(file.path());
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    const QPoint max = window.centre(CaptionButton::MaxRestore);
    Pointer::move(bar, max);
    Pointer::press(bar, max);
    // Nothing is held for the pressed state, so nothing is drawn for it.
    QCOMPARE(bar->buttonLayout().maxWidth, 0);
    Pointer::release(bar, max);
    // The bar keeps working: the click maximises, and the button shows the restore picture.
    QVERIFY(bar->isMaximised());
    QCOMPARE(window.barPixel(CaptionButton::MaxRestore), colour(u"RES1"_s));
}

void TestCaptionBar::titleLayers()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    auto *main = window.caption()->findChild<QLabel *>(u"Label1"_s);
    auto *offset = window.caption()->findChild<QLabel *>(u"Label2"_s);
    QVERIFY(main && offset);
    // XOFFSET 4, YOFFSET 3 in the test skin.
    QCOMPARE(main->geometry(), QRect(21, 3, 266, 20));
    QCOMPARE(offset->geometry(), QRect(20, 2, 266, 20));
    QCOMPARE(main->text(), u"Quorvexv3.6"_s);
    QCOMPARE(offset->text(), u"Quorvexv3.6"_s);
    QCOMPARE(main->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    QCOMPARE(offset->palette().color(QPalette::WindowText), QColor(0x5A, 0x7E, 0xDC));
    QVERIFY(main->font().bold());
    QCOMPARE(main->font().pointSizeF(), 11.25);
    window.host.setWindowTitle(u"另一个标题"_s);
    QCOMPARE(main->text(), u"另一个标题"_s);
    QCOMPARE(offset->text(), u"另一个标题"_s);
}

void TestCaptionBar::skinIsReadAgainOnlyWhenTheFileChanged()
{
    SolidSkinFile file(TestSkin::solid(), u"changing"_s);
    QVERIFY2(file.error().isEmpty(), qPrintable(file.error()));
    ChromeWindow window(file.path());
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    QCOMPARE(bar->height(), 24);

    // Other bytes of the same size and time stamp are not read: a paint only looks at the
    // file's size and time.
    QFile skinFile(file.path());
    const QDateTime stamp = QFileInfo(file.path()).lastModified();
    const qint64 size = skinFile.size();
    QVERIFY(skinFile.open(QIODevice::ReadWrite));
    skinFile.write(QByteArray(size, 'x'));
    QVERIFY(skinFile.flush());
    QVERIFY(skinFile.setFileTime(stamp, QFileDevice::FileModificationTime));
    skinFile.close();
    bar->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(bar->height(), 24);
    QCOMPARE(window.barPixel(CaptionButton::Close), colour(u"CLOSE"_s));

    // A changed file is read at the next paint.
    TestSkin taller = TestSkin::solid();
    QImage topLeft(10, 30, QImage::Format_RGB32);
    topLeft.fill(0x101080);
    taller.pictures.insert(u"TOPLEFT.png"_s, topLeft);
    const QString error = taller.write(file.folder() + u"/taller"_s, file.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(skinFile.open(QIODevice::ReadWrite));
    QVERIFY(skinFile.setFileTime(stamp.addSecs(5), QFileDevice::FileModificationTime));
    skinFile.close();
    bar->update();
    QTRY_COMPARE(bar->height(), 30);
}

QTEST_MAIN(TestCaptionBar)
#include "tst_captionbar.moc"
