#pragma once

// Test skins and pointer events for the skin suites.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QMouseEvent>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

// A skin of solid colours: every picture is one flat colour of its own, so a pixel tells which
// picture was drawn. Written as a folder and packed by the real resource compiler.
class TestSkin
{
public:
    // Every key of the skin; buttons of one kind share a size, each kind a different width.
    static TestSkin solid()
    {
        TestSkin skin;
        const auto add = [&skin](const QString &key, int width, int height, QRgb colour) {
            QImage image(width, height, QImage::Format_RGB32);
            image.fill(colour);
            skin.pictures.insert(key + u".png"_s, image);
        };
        add(u"TOPLEFT"_s, 10, 24, 0x101080);
        add(u"TOPMID"_s, 5, 24, 0x2020a0);
        add(u"TOPRIGHT"_s, 10, 24, 0x3030c0);
        add(u"CLOSE"_s, 20, 16, 0xc00000);
        add(u"CLOSE2"_s, 20, 16, 0x800000);
        add(u"CLOSE3"_s, 20, 16, 0xff4040);
        add(u"MAX"_s, 18, 16, 0x00c000);
        add(u"MAX2"_s, 18, 16, 0x008000);
        add(u"MAX3"_s, 18, 16, 0x40ff40);
        add(u"RES1"_s, 18, 16, 0xc0c000);
        add(u"RES2"_s, 18, 16, 0xffff40);
        add(u"RES3"_s, 18, 16, 0x808000);
        add(u"MIN"_s, 16, 16, 0x00c0c0);
        add(u"MIN2"_s, 16, 16, 0x008080);
        add(u"MIN3"_s, 16, 16, 0x40ffff);
        add(u"ONTOP1"_s, 14, 16, 0xc000c0);
        add(u"ONTOP3"_s, 14, 16, 0xff40ff);
        add(u"LEFTTOP"_s, 6, 12, 0x604000);
        add(u"LEFTMID"_s, 6, 7, 0x806000);
        add(u"RIGHTTOP"_s, 5, 12, 0x006040);
        add(u"RIGHTMID"_s, 5, 7, 0x008060);
        add(u"LEFTBOT"_s, 12, 6, 0x400060);
        add(u"BOTTOM"_s, 7, 6, 0x600080);
        add(u"RIGHTBOT"_s, 12, 6, 0x8000a0);
        skin.values = "XOFFSET=4\nXOFFSET2=2\nYOFFSET=3\nFROMRIGHT=6\nFROMTOP=4\nICONSPACE=3\n"
                      "FORECOLOR=0x00FFFFFF\nBackColor=0x00DC7E5A\nPARENTBACKCOLOR=0x00E0E0E0\n";
        return skin;
    }

    // The colour of a picture of the solid skin.
    static QRgb colour(const QString &key) { return solid().pictures.value(key + u".png"_s).pixel(0, 0); }

    void remove(const QString &key) { pictures.remove(key + u".png"_s); }

    // Writes the folder `folder` and packs it into `output`; the error text when that fails.
    QString write(const QString &folder, const QString &output) const
    {
        QDir().mkpath(folder);
        for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
            if (!it.value().save(QDir(folder).filePath(it.key()), "PNG"))
                return u"can't write "_s + it.key();
        }
        for (auto it = rawFiles.cbegin(); it != rawFiles.cend(); ++it) {
            QFile file(QDir(folder).filePath(it.key()));
            if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
                return u"can't write "_s + it.key();
        }
        if (!values.isNull()) {
            QFile file(QDir(folder).filePath(u"values.ini"_s));
            if (!file.open(QIODevice::WriteOnly) || file.write(values) != values.size())
                return u"can't write values.ini"_s;
        }
        QString qrc = u"<RCC><qresource prefix=\"/\">"_s;
        const QStringList files = QDir(folder).entryList(QDir::Files);
        for (const QString &name : files)
            qrc += u"<file alias=\"%1\">%2</file>"_s.arg(name, QDir(folder).absoluteFilePath(name));
        qrc += u"</qresource></RCC>"_s;
        const QString qrcPath = folder + u".qrc"_s;
        QFile qrcFile(qrcPath);
        if (!qrcFile.open(QIODevice::WriteOnly) || qrcFile.write(qrc.toUtf8()) < 0)
            return u"can't write the .qrc"_s;
        qrcFile.close();
        QProcess rcc;
        rcc.start(QStringLiteral(QUORVEX_RCC),
                  rccOptions + QStringList{u"--binary"_s, u"-o"_s, output, qrcPath});
        if (!rcc.waitForFinished(30000) || rcc.exitStatus() != QProcess::NormalExit || rcc.exitCode() != 0)
            return u"rcc failed: "_s + QString::fromLocal8Bit(rcc.readAllStandardError());
        return {};
    }

    // Picture file name (KEY.png) -> picture.
    QMap<QString, QImage> pictures;
    // Further files packed as they are.
    QMap<QString, QByteArray> rawFiles;
    // values.ini; null for none.
    QByteArray values;
    QStringList rccOptions;
};

// Pointer events sent straight to a widget, with the buttons held given explicitly.
namespace Pointer {

inline void send(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                 Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void move(QWidget *widget, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    send(widget, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

inline void press(QWidget *widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    send(widget, QEvent::MouseButtonPress, pos, button, button);
}

inline void release(QWidget *widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    send(widget, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

inline void click(QWidget *widget, QPoint pos)
{
    press(widget, pos);
    release(widget, pos);
}

// What the window system delivers for a double-click: press, release, double-click, release.
inline void doubleClick(QWidget *widget, QPoint pos)
{
    press(widget, pos);
    release(widget, pos);
    send(widget, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
    release(widget, pos);
}

} // namespace Pointer
