// The chrome's rules without widgets: button layout and hit zones, the work-area placement,
// the border's zones and resize edges, the window shape and minimum size.

#include "skin/chromegeometry.h"

#include <QTest>

using namespace Skin;

Q_DECLARE_METATYPE(Skin::CaptionButton)

namespace {

// A bar 400 wide, 6 from the right, gaps of 3; close 20, maximise 18, minimise 16 and
// stay-on-top 14 wide; the band runs from row 4 (excluded) over the close picture's 16 rows.
CaptionLayout sampleLayout()
{
    CaptionLayout layout;
    layout.barWidth = 400;
    layout.fromRight = 6;
    layout.fromTop = 4;
    layout.iconSpace = 3;
    layout.closeWidth = 20;
    layout.maxWidth = 18;
    layout.minWidth = 16;
    layout.onTopWidth = 14;
    layout.closeHeight = 16;
    return layout;
}

} // namespace

class TestChromeGeometry : public QObject
{
    Q_OBJECT

private slots:
    void buttonPlaces_data();
    void buttonPlaces();
    void hitZones_data();
    void hitZones();
    void workAreaPlacement_data();
    void workAreaPlacement();
    void borderZones_data();
    void borderZones();
    void resizeEdges_data();
    void resizeEdges();
    void cutCornerShape_data();
    void cutCornerShape();
    void minimumSize_data();
    void minimumSize();
};

void TestChromeGeometry::buttonPlaces_data()
{
    QTest::addColumn<CaptionButton>("button");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::newRow("close") << CaptionButton::Close << 374 << 394;
    QTest::newRow("maximise/restore") << CaptionButton::MaxRestore << 353 << 371;
    QTest::newRow("minimise") << CaptionButton::Minimise << 334 << 350;
    QTest::newRow("stay-on-top") << CaptionButton::OnTop << 317 << 331;
}

void TestChromeGeometry::buttonPlaces()
{
    QFETCH(CaptionButton, button);
    QFETCH(int, left);
    QFETCH(int, right);
    const ButtonSpan span = sampleLayout().span(button);
    QCOMPARE(span.left, left);
    QCOMPARE(span.right, right);
}

void TestChromeGeometry::hitZones_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("button"); // -1: none
    QTest::newRow("inside close") << QPoint(380, 10) << int(CaptionButton::Close);
    QTest::newRow("close's left edge") << QPoint(374, 10) << -1;
    QTest::newRow("close's first column") << QPoint(375, 10) << int(CaptionButton::Close);
    QTest::newRow("close's last column") << QPoint(393, 10) << int(CaptionButton::Close);
    QTest::newRow("close's right edge") << QPoint(394, 10) << -1;
    QTest::newRow("gap between maximise and close") << QPoint(372, 10) << -1;
    QTest::newRow("inside maximise") << QPoint(360, 10) << int(CaptionButton::MaxRestore);
    QTest::newRow("inside minimise") << QPoint(340, 10) << int(CaptionButton::Minimise);
    QTest::newRow("inside stay-on-top") << QPoint(320, 10) << int(CaptionButton::OnTop);
    QTest::newRow("left of every button") << QPoint(100, 10) << -1;
    QTest::newRow("band's top row FROMTOP") << QPoint(380, 4) << -1;
    QTest::newRow("first row inside the band") << QPoint(380, 5) << int(CaptionButton::Close);
    QTest::newRow("last row inside the band") << QPoint(380, 19) << int(CaptionButton::Close);
    QTest::newRow("band's bottom row FROMTOP + height") << QPoint(380, 20) << -1;
}

void TestChromeGeometry::hitZones()
{
    QFETCH(QPoint, pos);
    QFETCH(int, button);
    const std::optional<CaptionButton> hit = sampleLayout().buttonAt(pos);
    QCOMPARE(hit ? int(*hit) : -1, button);
}

void TestChromeGeometry::workAreaPlacement_data()
{
    QTest::addColumn<QRect>("available"); // the screen's work area as a rectangle
    QTest::addColumn<QRect>("current");
    QTest::addColumn<QRect>("expected");
    const QRect current(100, 120, 500, 300);
    QTest::newRow("taskbar at the bottom") << QRect(0, 0, 1024, 738) << current << QRect(0, 0, 1024, 738);
    QTest::newRow("taskbar at the left") << QRect(60, 0, 964, 768) << current << QRect(60, 0, 964, 768);
    QTest::newRow("taskbar at the top") << QRect(0, 30, 1024, 738) << current << QRect(0, 30, 1024, 738);
    // Left of the primary screen: the fourth row puts the window at (0, 0).
    QTest::newRow("right > 0 and top = 0") << QRect(-100, 0, 1124, 768) << current << QRect(0, 0, 1124, 768);
    QTest::newRow("no row matches: the place stays")
        << QRect(1920, 100, 1280, 900) << current << QRect(100, 120, 1280, 900);
    QTest::newRow("screen entirely left of zero: the place stays")
        << QRect(-1280, 0, 1280, 1024) << current << QRect(100, 120, 1280, 1024);
}

void TestChromeGeometry::workAreaPlacement()
{
    QFETCH(QRect, available);
    QFETCH(QRect, current);
    QFETCH(QRect, expected);
    QCOMPARE(maximisedGeometry(workAreaOf(available), current), expected);
}

void TestChromeGeometry::borderZones_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("shape");
    const QSize left(6, 300);
    const QSize bottom(500, 6);
    QTest::newRow("left edge, y = 290: corner")
        << 1 << left << QPoint(3, 290) << 0 << int(Qt::SizeBDiagCursor);
    QTest::newRow("left edge, y = 289: edge") << 1 << left << QPoint(3, 289) << 1 << int(Qt::SizeHorCursor);
    QTest::newRow("left edge, y = 300: corner")
        << 1 << left << QPoint(3, 300) << 0 << int(Qt::SizeBDiagCursor);
    QTest::newRow("left edge, top") << 1 << left << QPoint(3, 0) << 1 << int(Qt::SizeHorCursor);
    QTest::newRow("right edge, y = 290: corner")
        << 2 << left << QPoint(2, 290) << 2 << int(Qt::SizeFDiagCursor);
    QTest::newRow("right edge, y = 289: edge") << 2 << left << QPoint(2, 289) << 1 << int(Qt::SizeHorCursor);
    QTest::newRow("bottom, x = 0") << 3 << bottom << QPoint(0, 3) << 0 << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom, x = 10") << 3 << bottom << QPoint(10, 3) << 0 << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom, x = 11") << 3 << bottom << QPoint(11, 3) << 1 << int(Qt::SizeVerCursor);
    QTest::newRow("bottom, x = 489") << 3 << bottom << QPoint(489, 3) << 1 << int(Qt::SizeVerCursor);
    QTest::newRow("bottom, x = 490") << 3 << bottom << QPoint(490, 3) << 2 << int(Qt::SizeFDiagCursor);
    QTest::newRow("bottom, x = 500") << 3 << bottom << QPoint(500, 3) << 2 << int(Qt::SizeFDiagCursor);
    // A bottom edge narrower than two corner strips: the left corner is tested first.
    QTest::newRow("narrow bottom") << 3 << QSize(15, 6) << QPoint(8, 3) << 0 << int(Qt::SizeBDiagCursor);
    QTest::newRow("type 0, low") << 0 << left << QPoint(3, 295) << 1 << int(Qt::SizeHorCursor);
}

void TestChromeGeometry::borderZones()
{
    QFETCH(int, type);
    QFETCH(QSize, size);
    QFETCH(QPoint, pos);
    QFETCH(int, zone);
    QFETCH(int, shape);
    const BorderZone at = borderZoneAt(type, pos, size);
    QCOMPARE(at.zone, zone);
    QCOMPARE(int(at.shape), shape);
}

void TestChromeGeometry::resizeEdges_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("edges");
    const int left = Qt::LeftEdge;
    const int right = Qt::RightEdge;
    const int bottom = Qt::BottomEdge;
    QTest::newRow("left, corner") << 1 << 0 << (left | bottom);
    QTest::newRow("left, edge") << 1 << 1 << left;
    QTest::newRow("left, zone 2") << 1 << 2 << 0;
    QTest::newRow("right, zone 0") << 2 << 0 << 0;
    QTest::newRow("right, edge") << 2 << 1 << right;
    QTest::newRow("right, corner") << 2 << 2 << (right | bottom);
    QTest::newRow("bottom, left corner") << 3 << 0 << (left | bottom);
    QTest::newRow("bottom, edge") << 3 << 1 << bottom;
    QTest::newRow("bottom, right corner") << 3 << 2 << (right | bottom);
    QTest::newRow("type 0") << 0 << 1 << 0;
    QTest::newRow("type 4") << 4 << 1 << 0;
}

void TestChromeGeometry::resizeEdges()
{
    QFETCH(int, type);
    QFETCH(int, zone);
    QFETCH(int, edges);
    QCOMPARE(int(Skin::resizeEdges(type, zone)), edges);
}

void TestChromeGeometry::cutCornerShape_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("inside");
    // A 200 x 100 window.
    QTest::newRow("top-left corner") << QPoint(0, 0) << false;
    QTest::newRow("left corner, diagonal") << QPoint(1, 1) << false;
    QTest::newRow("left corner, below the cut") << QPoint(0, 3) << true;
    QTest::newRow("left corner, right of the cut") << QPoint(3, 0) << true;
    QTest::newRow("top-right corner") << QPoint(199, 0) << false;
    QTest::newRow("right corner, diagonal") << QPoint(198, 1) << false;
    QTest::newRow("right corner, below the cut") << QPoint(199, 4) << true;
    QTest::newRow("top middle") << QPoint(100, 0) << true;
    QTest::newRow("bottom-left") << QPoint(0, 99) << true;
    QTest::newRow("bottom-right") << QPoint(199, 99) << true;
    QTest::newRow("outside the window") << QPoint(200, 50) << false;
}

void TestChromeGeometry::cutCornerShape()
{
    QFETCH(QPoint, pixel);
    QFETCH(bool, inside);
    QCOMPARE(cutCornerRegion(QSize(200, 100)).contains(pixel), inside);
    QCOMPARE(cutCornerPolygon(QSize(200, 100)).size(), 7);
}

void TestChromeGeometry::minimumSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("small") << QSize(100, 50) << QSize(296, 148);
    QTest::newRow("exactly the minimum") << QSize(296, 148) << QSize(296, 148);
    QTest::newRow("narrow only") << QSize(200, 400) << QSize(296, 400);
    QTest::newRow("low only") << QSize(500, 120) << QSize(500, 148);
    QTest::newRow("large") << QSize(800, 600) << QSize(800, 600);
}

void TestChromeGeometry::minimumSize()
{
    QFETCH(QSize, size);
    QFETCH(QSize, expected);
    QCOMPARE(withChromeMinimum(size), expected);
}

QTEST_APPLESS_MAIN(TestChromeGeometry)
#include "tst_chromegeometry.moc"
