// Draws the default skin: every picture of the caption bar and the borders, and values.ini.
//   skin-painter FOLDER
// The bar is a vertical gradient in the caption blue with a dark outline; the edges continue
// the bar's outer columns, so they meet it without a seam. Every button picture carries the
// bar's own gradient rows behind its glyph, so it sits in the bar invisibly.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

// Geometry (pixels); values.ini repeats the offsets.
constexpr int barHeight = 30;
constexpr int endWidth = 8;
constexpr int edge = 4;
constexpr int buttonWidth = 28;
constexpr int buttonHeight = 20;
constexpr int fromTop = 5;
constexpr int fromRight = 6;
constexpr int iconSpace = 2;
constexpr int xOffset = 13;
constexpr int xOffset2 = 8;
constexpr int yOffset = 5;

const QColor outline(0x2A, 0x47, 0x94);
const QColor gloss(0xA3, 0xBB, 0xF4);
const QColor gradientTop(0x7B, 0x9C, 0xED);
const QColor gradientBottom(0x4F, 0x72, 0xD3);
const QColor innerLine(0x3B, 0x5C, 0xB8);
const QColor edgeFill = gradientBottom;
const QColor glyph(0xFF, 0xFF, 0xFF);
const QColor closeHover(0xE0, 0x43, 0x4B);
const QColor closePressed(0xB2, 0x2B, 0x33);
// 0x00BBGGRR numbers of values.ini.
constexpr unsigned captionBlue = 0x00DC7E5A;
constexpr unsigned windowBack = 0x00FBF6F4;

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// The colour of the bar's row y between its outline (row 0) and its bottom line.
QColor barRow(int y)
{
    if (y <= 0)
        return outline;
    if (y == 1)
        return gloss;
    if (y >= barHeight - 1)
        return innerLine;
    return mix(gradientTop, gradientBottom, double(y - 2) / double(barHeight - 4));
}

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// The pixels outside the cut-corner shape of the window: the region leaves them out, the
// outline follows the diagonal beside them.
bool cutAway(int x, int y)
{
    return x + y <= 2;
}

QImage topMid()
{
    QImage image = blank(4, barHeight);
    for (int y = 0; y < barHeight; ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, barRow(y));
    return image;
}

// The left end of the bar; the right end is its mirror image.
QImage topLeft()
{
    QImage image = blank(endWidth, barHeight);
    for (int y = 0; y < barHeight; ++y) {
        for (int x = 0; x < endWidth; ++x) {
            QColor colour = barRow(y);
            if (cutAway(x, y) || x + y == 3 || x == 0)
                colour = outline;
            else if (y == barHeight - 1)
                colour = x < 3 ? edgeFill : innerLine;
            image.setPixelColor(x, y, colour);
        }
    }
    return image;
}

// A side edge piece, left edge: outline, two rows of fill, the inner line beside the window.
QImage leftEdge(int height)
{
    QImage image = blank(edge, height);
    for (int y = 0; y < height; ++y) {
        image.setPixelColor(0, y, outline);
        image.setPixelColor(1, y, edgeFill);
        image.setPixelColor(2, y, edgeFill);
        image.setPixelColor(3, y, innerLine);
    }
    return image;
}

QImage bottomTile()
{
    QImage image = blank(8, edge);
    for (int x = 0; x < image.width(); ++x) {
        image.setPixelColor(x, 0, innerLine);
        image.setPixelColor(x, 1, edgeFill);
        image.setPixelColor(x, 2, edgeFill);
        image.setPixelColor(x, 3, outline);
    }
    return image;
}

// The lower left corner: the left edge turns into the bottom edge.
QImage leftBottom()
{
    QImage image = blank(12, edge);
    for (int y = 0; y < edge; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor colour = edgeFill;
            if (x == 0 || y == edge - 1)
                colour = outline;
            else if (x >= 3 && y == 0)
                colour = innerLine;
            image.setPixelColor(x, y, colour);
        }
    }
    return image;
}

QImage mirrored(const QImage &image)
{
    return image.mirrored(true, false);
}

enum class Look { Normal, Hover, Pressed, CloseHover, ClosePressed, On };

using Glyph = std::function<void(QPainter &)>;

QImage button(const Glyph &drawGlyph, Look look)
{
    QImage image = blank(buttonWidth, buttonHeight);
    for (int y = 0; y < buttonHeight; ++y)
        for (int x = 0; x < buttonWidth; ++x)
            image.setPixelColor(x, y, barRow(fromTop + y));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face(0.5, 0.5, buttonWidth - 1.0, buttonHeight - 1.0);
    QColor fill;
    QColor rim;
    switch (look) {
    case Look::Normal:
        break;
    case Look::Hover:
        fill = QColor(255, 255, 255, 56);
        rim = QColor(255, 255, 255, 90);
        break;
    case Look::Pressed:
        fill = QColor(10, 25, 80, 70);
        rim = QColor(10, 25, 80, 90);
        break;
    case Look::CloseHover:
        fill = closeHover;
        rim = closeHover.darker(115);
        break;
    case Look::ClosePressed:
        fill = closePressed;
        rim = closePressed.darker(115);
        break;
    case Look::On:
        fill = QColor(255, 255, 255, 235);
        rim = QColor(255, 255, 255);
        break;
    }
    if (fill.isValid()) {
        painter.setPen(QPen(rim, 1.0));
        painter.setBrush(fill);
        painter.drawRoundedRect(face, 4, 4);
    }
    painter.setBrush(Qt::NoBrush);
    drawGlyph(painter);
    return image;
}

QPen glyphPen(double width)
{
    QPen pen(glyph, width);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

void closeGlyph(QPainter &painter)
{
    QPen pen = glyphPen(1.6);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.drawLine(QPointF(9.5, 5.5), QPointF(18.5, 14.5));
    painter.drawLine(QPointF(18.5, 5.5), QPointF(9.5, 14.5));
}

void maxGlyph(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(glyphPen(1));
    painter.drawRect(9, 5, 9, 9);
    painter.drawLine(10, 6, 17, 6);
}

void restoreGlyph(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(glyphPen(1));
    // The window in front, and the visible part of the one behind it.
    painter.drawRect(8, 8, 8, 8);
    painter.drawLine(9, 9, 15, 9);
    painter.drawPolyline(QPolygon({{11, 7}, {11, 4}, {19, 4}, {19, 12}, {17, 12}}));
}

void minGlyph(QPainter &painter)
{
    painter.fillRect(QRect(9, 13, 10, 2), glyph);
}

// A push pin, pixel-aligned: head, body, collar, needle.
void pinGlyph(QPainter &painter, const QColor &colour)
{
    painter.fillRect(QRect(10, 4, 8, 2), colour);
    painter.fillRect(QRect(11, 6, 6, 5), colour);
    painter.fillRect(QRect(9, 11, 10, 2), colour);
    painter.fillRect(QRect(13, 13, 2, 4), colour);
}

bool save(const QDir &folder, const QString &name, const QImage &image)
{
    const QString path = folder.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "skin-painter: can't write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writeValues(const QDir &folder)
{
    QFile file(folder.filePath(u"values.ini"_s));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "skin-painter: can't write %s\n", qPrintable(file.fileName()));
        return false;
    }
    QTextStream out(&file);
    out << "; The default skin of Quorvex, written by skin-painter.\n"
        << "; Numbers are pixels; colours are 0x00BBGGRR.\n"
        << "XOFFSET=" << xOffset << '\n'
        << "XOFFSET2=" << xOffset2 << '\n'
        << "YOFFSET=" << yOffset << '\n'
        << "FROMRIGHT=" << fromRight << '\n'
        << "FROMTOP=" << fromTop << '\n'
        << "ICONSPACE=" << iconSpace << '\n'
        << "FORECOLOR=0x00FFFFFF\n"
        << "BackColor=0x" << QString::number(captionBlue, 16).rightJustified(8, u'0').toUpper() << '\n'
        << "PARENTBACKCOLOR=0x" << QString::number(windowBack, 16).rightJustified(8, u'0').toUpper() << '\n';
    return file.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: skin-painter FOLDER\n");
        return 2;
    }
    const QDir folder(arguments.at(1));
    if (!folder.exists()) {
        std::fprintf(stderr, "skin-painter: no folder %s\n", qPrintable(arguments.at(1)));
        return 2;
    }

    // Off: a white pin on the bar; on: the pin in the bar's blue on a white face.
    const auto pin = [](const QColor &colour) {
        return [colour](QPainter &painter) { pinGlyph(painter, colour); };
    };
    const QList<std::pair<QString, QImage>> pictures = {
        {u"TOPLEFT.png"_s, topLeft()},
        {u"TOPMID.png"_s, topMid()},
        {u"TOPRIGHT.png"_s, mirrored(topLeft())},
        {u"CLOSE.png"_s, button(closeGlyph, Look::Normal)},
        {u"CLOSE2.png"_s, button(closeGlyph, Look::ClosePressed)},
        {u"CLOSE3.png"_s, button(closeGlyph, Look::CloseHover)},
        {u"MAX.png"_s, button(maxGlyph, Look::Normal)},
        {u"MAX2.png"_s, button(maxGlyph, Look::Pressed)},
        {u"MAX3.png"_s, button(maxGlyph, Look::Hover)},
        {u"RES1.png"_s, button(restoreGlyph, Look::Normal)},
        {u"RES2.png"_s, button(restoreGlyph, Look::Hover)},
        {u"RES3.png"_s, button(restoreGlyph, Look::Pressed)},
        {u"MIN.png"_s, button(minGlyph, Look::Normal)},
        {u"MIN2.png"_s, button(minGlyph, Look::Pressed)},
        {u"MIN3.png"_s, button(minGlyph, Look::Hover)},
        {u"ONTOP1.png"_s, button(pin(glyph), Look::Normal)},
        {u"ONTOP3.png"_s, button(pin(outline), Look::On)},
        {u"LEFTTOP.png"_s, leftEdge(8)},
        {u"LEFTMID.png"_s, leftEdge(4)},
        {u"RIGHTTOP.png"_s, mirrored(leftEdge(8))},
        {u"RIGHTMID.png"_s, mirrored(leftEdge(4))},
        {u"LEFTBOT.png"_s, leftBottom()},
        {u"BOTTOM.png"_s, bottomTile()},
        {u"RIGHTBOT.png"_s, mirrored(leftBottom())},
    };
    bool ok = true;
    for (const auto &[name, image] : pictures)
        ok = save(folder, name, image) && ok;
    ok = writeValues(folder) && ok;
    return ok ? 0 : 1;
}
