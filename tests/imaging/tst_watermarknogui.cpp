#include "imaging/pictureinfo.h"
#include "imaging/watermark.h"
#include "imaging/watermarker.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Imaging;

// Runs with a QCoreApplication only, as a command-line tool would: text cannot be drawn,
// and everything that needs it must say so instead of crashing.
class TestWatermarkNoGui : public QObject
{
    Q_OBJECT

private slots:
    void watermarkerIsUnusable();
    void drawingNeedsText();
    void picturesWorkWithoutText();
};

namespace {

QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

void TestWatermarkNoGui::watermarkerIsUnusable()
{
    QVERIFY(!textRenderingAvailable());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error;
    const Watermarker fromFolder = Watermarker::fromProgramFolder(dir.path(), &error);
    QVERIFY(!fromFolder.isUsable());
    QVERIFY(error.contains(u"QGuiApplication"_s));

    const Watermarker direct{WatermarkSettings(), QImage()};
    QVERIFY(!direct.isUsable());
    QCOMPARE(direct.errorString(), error);

    const QByteArray jpeg = encodeJpeg(filled(300, 200, qRgb(1, 2, 3)), 80);
    for (const Watermarker *watermarker : {&fromFolder, &direct}) {
        QByteArray out = "stale";
        QCOMPARE(watermarker->stamp(jpeg, u"a.jpg"_s, &out), Watermarker::Outcome::NotAPicture);
        QVERIFY(out.isEmpty());
    }
}

void TestWatermarkNoGui::drawingNeedsText()
{
    QVERIFY(!textSurfaceSize(u"a"_s, 16).isValid());
    QVERIFY(renderTextSurface(u"a"_s, 16).isNull());
    for (const auto mode : {WatermarkSettings::Mode::Text, WatermarkSettings::Mode::Picture}) {
        WatermarkSettings settings;
        settings.mode = mode;
        const QImage original = filled(300, 200, qRgb(1, 2, 3));
        QImage surface = original;
        QVERIFY(!DrawWatermark(surface, settings, filled(10, 10, qRgb(200, 0, 0))));
        QCOMPARE(surface, original);
    }
}

void TestWatermarkNoGui::picturesWorkWithoutText()
{
    QImage surface = filled(100, 80, qRgb(100, 100, 100));
    BlendCornerPicture(surface, filled(10, 6, qRgb(200, 0, 50)));
    QCOMPARE(surface.pixel(75, 55), qRgb(150, 50, 75));

    const QByteArray jpeg = encodeJpeg(surface, 80);
    QCOMPARE(loadPicture(jpeg).size(), QSize(100, 80));
    QCOMPARE(PictureInfo(jpeg).left(10), u" 100 × 80 "_s);
    QVERIFY(!TooLargeForWatermark(u"A.JPG"_s, jpeg));
}

QTEST_GUILESS_MAIN(TestWatermarkNoGui)
#include "tst_watermarknogui.moc"
