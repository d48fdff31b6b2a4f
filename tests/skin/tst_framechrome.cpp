// The whole frame around a window: the window grabbed with its chrome, the rules on resize
// (borders hidden while maximised, the cut-corner shape, the minimum size), broken skins, and
// the default skin the build packs.

#include "chromewindow.h"

#include "skin/borderresize.h"
#include "skin/skinstore.h"
#include "skin/windowmovehandle.h"

#include <QFile>
#include <QLabel>
#include <QMouseEvent>

#include <memory>

using namespace Skin;

namespace {

QRgb colour(const QString &key)
{
    return TestSkin::colour(key);
}

const QStringList pictureKeys = {u"TOPLEFT"_s,  u"TOPMID"_s,  u"TOPRIGHT"_s, u"CLOSE"_s,   u"CLOSE2"_s,
                                 u"CLOSE3"_s,   u"MAX"_s,     u"MAX2"_s,     u"MAX3"_s,    u"RES1"_s,
                                 u"RES2"_s,     u"RES3"_s,    u"MIN"_s,      u"MIN2"_s,    u"MIN3"_s,
                                 u"ONTOP1"_s,   u"ONTOP3"_s,  u"LEFTTOP"_s,  u"LEFTMID"_s, u"RIGHTTOP"_s,
                                 u"RIGHTMID"_s, u"LEFTBOT"_s, u"RIGHTBOT"_s, u"BOTTOM"_s};

int luminance(QRgb pixel)
{
    return (qRed(pixel) * 299 + qGreen(pixel) * 587 + qBlue(pixel) * 114) / 1000;
}

} // namespace

class TestFrameChrome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void windowGrabbedWithItsChrome();
    void bordersHiddenWhileMaximised();
    void shapeFollowsTheSize();
    void minimumSize_data();
    void minimumSize();
    void frameless();
    void moveHandleMovesTheWindow();
    void brokenSkins_data();
    void brokenSkins();
    void defaultSkinHasEveryPiece();
    void defaultSkinMeetsWithoutSeams();

private:
    std::unique_ptr<SolidSkinFile> m_skin;
};

void TestFrameChrome::initTestCase()
{
    m_skin = std::make_unique<SolidSkinFile>();
    QVERIFY2(m_skin->error().isEmpty(), qPrintable(m_skin->error()));
}

void TestFrameChrome::init()
{
    setBorderResizeEnabled(false);
}

void TestFrameChrome::windowGrabbedWithItsChrome()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    const QImage image = window.host.grab().toImage();
    QCOMPARE(image.size(), QSize(600, 300));
    // The bar: ends, tile, the close button.
    QCOMPARE(image.pixel(2, 2), colour(u"TOPLEFT"_s));
    QCOMPARE(image.pixel(300, 1), colour(u"TOPMID"_s));
    QCOMPARE(image.pixel(597, 2), colour(u"TOPRIGHT"_s));
    QCOMPARE(image.pixel(window.centre(CaptionButton::Close)), colour(u"CLOSE"_s));
    QCOMPARE(image.pixel(window.centre(CaptionButton::MaxRestore)), colour(u"MAX"_s));
    // The side edges between the bar and the bottom edge.
    QCOMPARE(image.pixel(2, 24), colour(u"LEFTTOP"_s));
    QCOMPARE(image.pixel(2, 24 + 40), colour(u"LEFTMID"_s));
    QCOMPARE(image.pixel(597, 24), colour(u"RIGHTTOP"_s));
    QCOMPARE(image.pixel(597, 24 + 40), colour(u"RIGHTMID"_s));
    QCOMPARE(image.pixel(2, 293), colour(u"LEFTMID"_s));
    // The bottom edge across the whole width.
    QCOMPARE(image.pixel(0, 299), colour(u"LEFTBOT"_s));
    QCOMPARE(image.pixel(300, 296), colour(u"BOTTOM"_s));
    QCOMPARE(image.pixel(599, 294), colour(u"RIGHTBOT"_s));
    // Inside: the window's background from PARENTBACKCOLOR.
    QCOMPARE(image.pixel(300, 150), 0xffe0e0e0u);
    QCOMPARE(window.content->geometry(), QRect(6, 24, 600 - 6 - 5, 300 - 24 - 6));
}

void TestFrameChrome::bordersHiddenWhileMaximised()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    JSCAPTION *bar = window.caption();
    Pointer::move(bar, window.centre(CaptionButton::MaxRestore));
    Pointer::click(bar, window.centre(CaptionButton::MaxRestore));
    QCOMPARE(bar->Style2(), 1);
    for (JSBORDER *border :
         {window.chrome->leftBorder(), window.chrome->rightBorder(), window.chrome->bottomBorder()})
        QVERIFY(!border->isVisible());
    QVERIFY(window.host.mask().isEmpty());
    QCOMPARE(window.content->geometry(), QRect(0, 24, 1024, 738 - 24));
    const QImage image = window.host.grab().toImage();
    QCOMPARE(image.pixel(2, 100), 0xffe0e0e0u);
    QCOMPARE(image.pixel(500, 737), 0xffe0e0e0u);

    Pointer::move(bar, window.centre(CaptionButton::MaxRestore));
    Pointer::click(bar, window.centre(CaptionButton::MaxRestore));
    QCOMPARE(bar->Style2(), 2);
    for (JSBORDER *border :
         {window.chrome->leftBorder(), window.chrome->rightBorder(), window.chrome->bottomBorder()})
        QVERIFY(border->isVisible());
    QCOMPARE(window.host.mask(), cutCornerRegion(QSize(600, 300)));
    QCOMPARE(window.content->geometry(), QRect(6, 24, 589, 270));
}

void TestFrameChrome::shapeFollowsTheSize()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    QCOMPARE(window.host.mask(), cutCornerRegion(QSize(600, 300)));
    window.host.resize(700, 420);
    QCOMPARE(window.host.mask(), cutCornerRegion(QSize(700, 420)));
    QVERIFY(!window.host.mask().contains(QPoint(0, 0)));
    QVERIFY(!window.host.mask().contains(QPoint(699, 0)));
    QVERIFY(window.host.mask().contains(QPoint(350, 0)));
    // Minimised, the bar reports Style2 0 and the window has no shape of its own.
    window.host.showMinimized();
    QTRY_COMPARE(window.caption()->Style2(), 0);
    QVERIFY(window.host.mask().isEmpty());
    QVERIFY(window.chrome->leftBorder()->isVisibleTo(&window.host));
}

void TestFrameChrome::minimumSize_data()
{
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("result");
    QTest::newRow("small") << QSize(200, 100) << QSize(296, 148);
    QTest::newRow("exactly the minimum") << QSize(296, 148) << QSize(296, 148);
    QTest::newRow("narrow") << QSize(250, 400) << QSize(296, 400);
    QTest::newRow("low") << QSize(500, 120) << QSize(500, 148);
}

void TestFrameChrome::minimumSize()
{
    QFETCH(QSize, requested);
    QFETCH(QSize, result);
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    window.host.resize(requested);
    QCOMPARE(window.host.size(), result);
    QCOMPARE(window.host.mask(), cutCornerRegion(result));
    QCOMPARE(window.chrome->bottomBorder()->geometry(), QRect(0, result.height() - 6, result.width(), 6));
}

void TestFrameChrome::frameless()
{
    ChromeWindow window(m_skin->path());
    QVERIFY(window.exposed());
    QVERIFY(window.host.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(window.caption()->objectName(), u"JSCAPTION1"_s);
    QCOMPARE(window.chrome->leftBorder()->objectName(), u"JSBORDER1"_s);
    QCOMPARE(window.chrome->leftBorder()->BORDERTYPE(), 1);
    QCOMPARE(window.chrome->rightBorder()->BORDERTYPE(), 2);
    QCOMPARE(window.chrome->bottomBorder()->BORDERTYPE(), 3);
    QCOMPARE(window.caption()->Path(), m_skin->path());
    QCOMPARE(window.chrome->bottomBorder()->Path(), m_skin->path());
    // The main window's bar: the caption blue for its offset title layer.
    QCOMPARE(window.caption()->BackColor(), 0x00DC7E5Au);
}

void TestFrameChrome::moveHandleMovesTheWindow()
{
    ChromeWindow window(m_skin->path());
    auto *home = new QLabel(u"首页"_s, window.content);
    home->setGeometry(20, 20, 60, 20);
    new WindowMoveHandle(home);
    QVERIFY(window.exposed());
    const QPoint global = home->mapToGlobal(QPoint(5, 5));
    Pointer::press(home, QPoint(5, 5));
    Pointer::send(home, QEvent::MouseMove, home->mapFromGlobal(global + QPoint(30, 40)), Qt::NoButton,
                  Qt::LeftButton);
    Pointer::release(home, home->mapFromGlobal(global + QPoint(30, 40)));
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry.translated(30, 40));
    // Moves without the button held move nothing.
    Pointer::move(home, QPoint(50, 10));
    QCOMPARE(window.host.geometry(), ChromeWindow::startGeometry.translated(30, 40));
}

void TestFrameChrome::brokenSkins_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("no path") << u"none"_s;
    QTest::newRow("missing file") << u"missing"_s;
    QTest::newRow("not a resource file") << u"text"_s;
    QTest::newRow("cut short") << u"truncated"_s;
}

void TestFrameChrome::brokenSkins()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path;
    if (kind == "missing"_L1) {
        path = dir.filePath(u"skin.jss"_s);
    } else if (kind == "text"_L1) {
        path = dir.filePath(u"skin.jss"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("TOPLEFT=none\n");
    } else if (kind == "truncated"_L1) {
        QFile whole(m_skin->path());
        QVERIFY(whole.open(QIODevice::ReadOnly));
        path = dir.filePath(u"skin.jss"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(whole.readAll().left(whole.size() / 2));
    }
    const QColor background = QWidget().palette().color(QPalette::Window);
    ChromeWindow window(path);
    QVERIFY(window.exposed());
    // Nothing drawn, nothing measured: the window's content fills it.
    QCOMPARE(window.caption()->height(), 0);
    QCOMPARE(window.chrome->leftBorder()->width(), 0);
    QCOMPARE(window.chrome->rightBorder()->width(), 0);
    QCOMPARE(window.chrome->bottomBorder()->height(), 0);
    QCOMPARE(window.content->geometry(), QRect(0, 0, 600, 300));
    // A skin without a window colour leaves the window's own.
    QCOMPARE(window.host.palette().color(QPalette::Window), background);
    // Still a window that works.
    QCOMPARE(window.caption()->Style2(), 2);
    window.host.resize(500, 250);
    QCOMPARE(window.content->geometry(), QRect(0, 0, 500, 250));
    QVERIFY(window.host.isVisible());
}

void TestFrameChrome::defaultSkinHasEveryPiece()
{
    const SkinStore store = SkinStore::fromFile(QStringLiteral(QUORVEX_DEFAULT_SKIN));
    QVERIFY2(!store.isEmpty(), QUORVEX_DEFAULT_SKIN);
    for (const QString &key : pictureKeys)
        QVERIFY2(!store.picture(key).isNull(), qPrintable(key));
    // Each button's states share its size, so nothing moves when a button lights up.
    const QList<QStringList> families = {{u"CLOSE"_s, u"CLOSE2"_s, u"CLOSE3"_s},
                                         {u"MAX"_s, u"MAX2"_s, u"MAX3"_s, u"RES1"_s, u"RES2"_s, u"RES3"_s},
                                         {u"MIN"_s, u"MIN2"_s, u"MIN3"_s},
                                         {u"ONTOP1"_s, u"ONTOP3"_s}};
    for (const QStringList &family : families)
        for (const QString &key : family)
            QCOMPARE(store.picture(key).size(), store.picture(family.first()).size());
    // The bar's pieces are as high as the bar; the buttons fit inside it.
    const int barHeight = store.picture(u"TOPLEFT").height();
    QCOMPARE(store.picture(u"TOPMID").height(), barHeight);
    QCOMPARE(store.picture(u"TOPRIGHT").height(), barHeight);
    QVERIFY(store.number(u"FROMTOP") > 0);
    QVERIFY(store.number(u"FROMTOP") + store.picture(u"CLOSE").height() < barHeight);
    QVERIFY(store.number(u"FROMRIGHT") > 0);
    QVERIFY(store.number(u"ICONSPACE") >= 0);
    QCOMPARE(store.colour(u"BackColor"), 0x00DC7E5Au);
    QCOMPARE(store.colour(u"FORECOLOR"), 0x00FFFFFFu);
    QVERIFY(store.colourValue(u"PARENTBACKCOLOR").has_value());

    // Every button picture shows a glyph that stands out from its own background.
    for (const QStringList &family : families) {
        for (const QString &key : family) {
            const QImage picture = store.picture(key);
            const int centre = luminance(picture.pixel(picture.width() / 2, 1));
            int marked = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (qAbs(luminance(picture.pixel(x, y)) - centre) > 80)
                        ++marked;
            QVERIFY2(marked >= 8, qPrintable(key));
        }
    }
}

void TestFrameChrome::defaultSkinMeetsWithoutSeams()
{
    ChromeWindow window(QStringLiteral(QUORVEX_DEFAULT_SKIN));
    window.host.setWindowTitle(QString());
    QVERIFY(window.exposed());
    const QImage image = window.host.grab().toImage();
    const int top = window.caption()->height();
    const int left = window.chrome->leftBorder()->width();
    const int right = window.chrome->rightBorder()->width();
    const int bottom = window.chrome->bottomBorder()->height();
    QVERIFY(top > 0 && left > 0 && right > 0 && bottom > 0);
    const int w = image.width();
    const int h = image.height();

    // The side edges continue the bar's outer columns, and the bottom corners the side edges.
    for (int x = 0; x < left; ++x) {
        QCOMPARE(image.pixel(x, top), image.pixel(x, top - 1));
        QCOMPARE(image.pixel(x, h - bottom), image.pixel(x, h - bottom - 1));
    }
    for (int x = w - right; x < w; ++x) {
        QCOMPARE(image.pixel(x, top), image.pixel(x, top - 1));
        QCOMPARE(image.pixel(x, h - bottom), image.pixel(x, h - bottom - 1));
    }
    // No seams in the tiles: every row of the bar is one colour between its ends and the
    // buttons, every column of a side edge one colour along it, every row of the bottom edge
    // one colour between its corners.
    const int buttonsStart = window.caption()->buttonLayout().span(CaptionButton::Minimise).left;
    for (int y = 0; y < top; ++y)
        for (int x = 20; x < buttonsStart - 2; ++x)
            QCOMPARE(image.pixel(x, y), image.pixel(20, y));
    for (int x = 0; x < left; ++x)
        for (int y = top; y < h - bottom; ++y)
            QCOMPARE(image.pixel(x, y), image.pixel(x, top));
    for (int y = h - bottom; y < h; ++y)
        for (int x = 20; x < w - 20; ++x)
            QCOMPARE(image.pixel(x, y), image.pixel(20, y));
}

QTEST_MAIN(TestFrameChrome)
#include "tst_framechrome.moc"
