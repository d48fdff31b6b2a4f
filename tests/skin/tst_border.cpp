// The borders in a window of their own per test, with the solid test skin: zones, pointer
// shapes and resizing per edge, thickness and tiles, missing pictures, type 0.

#include "chromewindow.h"

#include "skin/borderresize.h"

#include <memory>

using namespace Skin;

namespace {

QRgb colour(const QString &key)
{
    return TestSkin::colour(key);
}

// A window whose left edge is 300 pixels high and whose bottom edge is 500 wide: 24 for the
// bar and 6 for the bottom edge above and below the side edges.
constexpr QRect partGeometry(100, 100, 500, 330);

JSBORDER *borderOf(const ChromeWindow &window, int type)
{
    switch (type) {
    case 1:
        return window.chrome->leftBorder();
    case 2:
        return window.chrome->rightBorder();
    default:
        return window.chrome->bottomBorder();
    }
}

} // namespace

class TestBorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void zonesAndResize_data();
    void zonesAndResize();
    void disabledEdgesIgnoreThePointer();
    void thicknessAndTiles();
    void missingPictures_data();
    void missingPictures();
    void typeZeroDrawsAndResizesNothing();

private:
    std::unique_ptr<SolidSkinFile> m_skin;
};

void TestBorder::initTestCase()
{
    m_skin = std::make_unique<SolidSkinFile>();
    QVERIFY2(m_skin->error().isEmpty(), qPrintable(m_skin->error()));
}

void TestBorder::init()
{
    setBorderResizeEnabled(false);
}

void TestBorder::zonesAndResize_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("shape");
    QTest::addColumn<QPoint>("drag");
    QTest::addColumn<QRect>("resized");
    const QPoint left(-20, 15);
    const QPoint right(20, 15);
    QTest::newRow("left edge, y = 290: lower-left corner")
        << 1 << QPoint(3, 290) << 0 << int(Qt::SizeBDiagCursor) << left << QRect(80, 100, 520, 345);
    QTest::newRow("left edge, y = 289: left edge only")
        << 1 << QPoint(3, 289) << 1 << int(Qt::SizeHorCursor) << left << QRect(80, 100, 520, 330);
    QTest::newRow("right edge, y = 290: lower-right corner")
        << 2 << QPoint(2, 290) << 2 << int(Qt::SizeFDiagCursor) << right << QRect(100, 100, 520, 345);
    QTest::newRow("right edge, middle")
        << 2 << QPoint(2, 100) << 1 << int(Qt::SizeHorCursor) << right << QRect(100, 100, 520, 330);
    QTest::newRow("bottom, x = 10: lower-left corner")
        << 3 << QPoint(10, 3) << 0 << int(Qt::SizeBDiagCursor) << left << QRect(80, 100, 520, 345);
    QTest::newRow("bottom, x = 11: bottom edge")
        << 3 << QPoint(11, 3) << 1 << int(Qt::SizeVerCursor) << left << QRect(100, 100, 500, 345);
    QTest::newRow("bottom, x = 490: lower-right corner")
        << 3 << QPoint(490, 3) << 2 << int(Qt::SizeFDiagCursor) << right << QRect(100, 100, 520, 345);
}

void TestBorder::zonesAndResize()
{
    QFETCH(int, type);
    QFETCH(QPoint, pos);
    QFETCH(int, zone);
    QFETCH(int, shape);
    QFETCH(QPoint, drag);
    QFETCH(QRect, resized);
    ChromeWindow window(m_skin->path());
    window.host.setGeometry(partGeometry);
    QVERIFY(window.exposed());
    QVERIFY(BorderResizeEnabled());
    JSBORDER *border = borderOf(window, type);
    QCOMPARE(window.chrome->leftBorder()->height(), 300);
    QCOMPARE(window.chrome->bottomBorder()->width(), 500);

    Pointer::move(border, pos);
    QCOMPARE(border->resizeZone(), zone);
    QCOMPARE(int(border->cursor().shape()), shape);

    // Without a window system to do it, the window follows the pointer; the pointer's screen
    // position stays put while the window changes under it.
    const QPoint global = border->mapToGlobal(pos);
    Pointer::press(border, pos);
    Pointer::send(border, QEvent::MouseMove, border->mapFromGlobal(global + drag), Qt::NoButton,
                  Qt::LeftButton);
    Pointer::release(border, border->mapFromGlobal(global + drag));
    QCOMPARE(window.host.geometry(), resized);
}

void TestBorder::disabledEdgesIgnoreThePointer()
{
    // Style 2 never switches edge resizing on.
    ChromeWindow window(m_skin->path(), 2);
    window.host.setGeometry(partGeometry);
    QVERIFY(window.exposed());
    QVERIFY(!BorderResizeEnabled());
    JSBORDER *left = window.chrome->leftBorder();
    Pointer::move(left, QPoint(3, 100));
    QCOMPARE(left->resizeZone(), 0);
    QCOMPARE(left->cursor().shape(), Qt::ArrowCursor);
    const QPoint global = left->mapToGlobal(QPoint(3, 100));
    Pointer::press(left, QPoint(3, 100));
    Pointer::send(left, QEvent::MouseMove, left->mapFromGlobal(global + QPoint(-30, 0)), Qt::NoButton,
                  Qt::LeftButton);
    Pointer::release(left, left->mapFromGlobal(global + QPoint(-30, 0)));
    QCOMPARE(window.host.geometry(), partGeometry);
}

void TestBorder::thicknessAndTiles()
{
    ChromeWindow window(m_skin->path());
    window.host.setGeometry(partGeometry);
    QVERIFY(window.exposed());
    JSBORDER *left = window.chrome->leftBorder();
    JSBORDER *right = window.chrome->rightBorder();
    JSBORDER *bottom = window.chrome->bottomBorder();
    // Side edges are as wide as their end piece, the bottom as high as its tile.
    QCOMPARE(left->width(), 6);
    QCOMPARE(right->width(), 5);
    QCOMPARE(bottom->height(), 6);

    const QImage leftImage = left->grab().toImage();
    QCOMPARE(leftImage.pixel(2, 0), colour(u"LEFTTOP"_s));
    QCOMPARE(leftImage.pixel(2, 11), colour(u"LEFTTOP"_s));
    QCOMPARE(leftImage.pixel(2, 12), colour(u"LEFTMID"_s));
    QCOMPARE(leftImage.pixel(5, 299), colour(u"LEFTMID"_s));
    const QImage rightImage = right->grab().toImage();
    QCOMPARE(rightImage.pixel(0, 11), colour(u"RIGHTTOP"_s));
    QCOMPARE(rightImage.pixel(4, 200), colour(u"RIGHTMID"_s));
    const QImage bottomImage = bottom->grab().toImage();
    QCOMPARE(bottomImage.pixel(0, 0), colour(u"LEFTBOT"_s));
    QCOMPARE(bottomImage.pixel(11, 5), colour(u"LEFTBOT"_s));
    QCOMPARE(bottomImage.pixel(12, 3), colour(u"BOTTOM"_s));
    QCOMPARE(bottomImage.pixel(487, 3), colour(u"BOTTOM"_s));
    QCOMPARE(bottomImage.pixel(488, 3), colour(u"RIGHTBOT"_s));
    QCOMPARE(bottomImage.pixel(499, 0), colour(u"RIGHTBOT"_s));
}

void TestBorder::missingPictures_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<int>("leftWidth");
    QTest::addColumn<int>("rightWidth");
    QTest::addColumn<int>("bottomHeight");
    QTest::newRow("BOTTOM") << u"BOTTOM"_s << 6 << 5 << 0;
    QTest::newRow("LEFTTOP") << u"LEFTTOP"_s << 0 << 5 << 6;
    QTest::newRow("RIGHTTOP") << u"RIGHTTOP"_s << 6 << 0 << 6;
    // Without its tile the left edge keeps the end piece's width; only the top is drawn.
    QTest::newRow("LEFTMID") << u"LEFTMID"_s << 6 << 5 << 6;
}

void TestBorder::missingPictures()
{
    QFETCH(QString, missing);
    QFETCH(int, leftWidth);
    QFETCH(int, rightWidth);
    QFETCH(int, bottomHeight);
    TestSkin skin = TestSkin::solid();
    skin.remove(missing);
    SolidSkinFile file(skin, u"without"_s);
    QVERIFY2(file.error().isEmpty(), qPrintable(file.error()));
    ChromeWindow window(file.path());
    window.host.setGeometry(partGeometry);
    QVERIFY(window.exposed());
    QCOMPARE(window.chrome->leftBorder()->width(), leftWidth);
    QCOMPARE(window.chrome->rightBorder()->width(), rightWidth);
    QCOMPARE(window.chrome->bottomBorder()->height(), bottomHeight);
    // The window's content takes the room the frame does not.
    QCOMPARE(window.content->geometry(),
             QRect(leftWidth, 24, 500 - leftWidth - rightWidth, 330 - 24 - bottomHeight));
    if (missing == "LEFTMID"_L1) {
        const QImage image = window.host.grab().toImage();
        QCOMPARE(image.pixel(2, 24 + 5), colour(u"LEFTTOP"_s));
        QCOMPARE(image.pixel(2, 24 + 100), 0xffe0e0e0u); // the window's own background
    }
}

void TestBorder::typeZeroDrawsAndResizesNothing()
{
    QWidget host;
    host.setGeometry(100, 100, 200, 200);
    auto *border = new JSBORDER(&host);
    border->setBORDERTYPE(0);
    border->setPath(m_skin->path());
    border->setGeometry(0, 0, 20, 200);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    setBorderResizeEnabled(true);
    QCOMPARE(border->thickness(), 0);
    const QPoint global = border->mapToGlobal(QPoint(5, 195));
    Pointer::move(border, QPoint(5, 195));
    Pointer::press(border, QPoint(5, 195));
    Pointer::send(border, QEvent::MouseMove, border->mapFromGlobal(global + QPoint(-30, 30)), Qt::NoButton,
                  Qt::LeftButton);
    Pointer::release(border, border->mapFromGlobal(global + QPoint(-30, 30)));
    QCOMPARE(host.geometry(), QRect(100, 100, 200, 200));
    const QImage image = border->grab().toImage();
    const QRgb background = host.palette().color(QPalette::Window).rgb();
    QCOMPARE(image.pixel(5, 5), background);
    QCOMPARE(image.pixel(15, 190), background);
}

QTEST_MAIN(TestBorder)
#include "tst_border.moc"
