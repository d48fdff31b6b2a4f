#include "skinstore.h"

#include "resourcefile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPalette>

using namespace Qt::Literals::StringLiterals;

namespace Skin {

namespace {

QString keyOf(QStringView name)
{
    return name.trimmed().toString().toUpper();
}

// values.ini: KEY=value lines without a section header; blank lines, comments and a stray
// section line are skipped. A later line of the same key wins.
QHash<QString, QString> parseValues(const QByteArray &bytes)
{
    QHash<QString, QString> values;
    const QString text = QString::fromUtf8(bytes);
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'\uFEFF'))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#') || line.startsWith(u'['))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        values.insert(keyOf(line.left(equals)), line.mid(equals + 1).trimmed().toString());
    }
    return values;
}

// Windows' system colour indexes in the palette that plays their part here.
QColor systemColour(int index, const QPalette &palette)
{
    switch (index) {
    case 0: // scroll bar
        return palette.color(QPalette::Midlight);
    case 1:  // desktop
    case 12: // application workspace
        return palette.color(QPalette::Dark);
    case 2:  // active caption
    case 13: // highlight
    case 27: // gradient of the active caption
    case 29: // menu highlight
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 3:  // inactive caption
    case 28: // gradient of the inactive caption
        return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 4:  // menu
    case 10: // active border
    case 11: // inactive border
    case 25: // unused index: the face colour, as the system gives
    case 30: // menu bar
        return palette.color(QPalette::Window);
    case 5: // window
        return palette.color(QPalette::Base);
    case 6:  // window frame
    case 21: // dark 3-D shadow
        return palette.color(QPalette::Shadow);
    case 7: // menu text
        return palette.color(QPalette::WindowText);
    case 8: // window text
        return palette.color(QPalette::Text);
    case 9:  // caption text
    case 14: // highlighted text
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 16: // button shadow
        return palette.color(QPalette::Mid);
    case 17: // grey text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    case 19: // inactive caption text
        return palette.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20: // button highlight
        return palette.color(QPalette::Light);
    case 22: // 3-D light
        return palette.color(QPalette::Midlight);
    case 23: // tooltip text
        return palette.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return palette.color(QPalette::ToolTipBase);
    case 26: // hot-tracked item
        return palette.color(QPalette::Link);
    default:
        return Qt::black;
    }
}

constexpr quint32 systemColourFlag = 0x80000000u;
constexpr int lastSystemColour = 30;

} // namespace

SkinStore SkinStore::fromFile(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || file.size() > MaxSkinFileSize || !file.open(QIODevice::ReadOnly))
        return {};
    return fromData(file.readAll());
}

SkinStore SkinStore::fromData(const QByteArray &data)
{
    SkinStore store;
    const std::optional<QHash<QString, QByteArray>> files = readResourceRoot(data);
    if (!files)
        return store;
    for (auto it = files->cbegin(); it != files->cend(); ++it) {
        const QString &name = it.key();
        if (name.compare("values.ini"_L1, Qt::CaseInsensitive) == 0) {
            store.m_values = parseValues(it.value());
            continue;
        }
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot <= 0)
            continue;
        const QStringView extension = QStringView(name).mid(dot + 1);
        const bool png = extension.compare("png"_L1, Qt::CaseInsensitive) == 0;
        const bool bmp = extension.compare("bmp"_L1, Qt::CaseInsensitive) == 0;
        if (!png && !bmp)
            continue;
        const QString key = keyOf(QStringView(name).left(dot));
        // With both KEY.png and KEY.bmp in one file, the PNG is the picture.
        if (png || !store.m_pictureFiles.contains(key))
            store.m_pictureFiles.insert(key, it.value());
    }
    return store;
}

QImage SkinStore::picture(QStringView key) const
{
    const QString normalised = keyOf(key);
    const auto decoded = m_pictures.constFind(normalised);
    if (decoded != m_pictures.cend())
        return decoded.value();
    QImage image;
    const auto bytes = m_pictureFiles.constFind(normalised);
    if (bytes != m_pictureFiles.cend()) {
        QBuffer buffer;
        buffer.setData(bytes.value());
        buffer.open(QIODevice::ReadOnly);
        // The reader keeps its allocation limit, so a picture claiming a giant size is refused.
        QImageReader reader(&buffer);
        image = reader.read();
    }
    m_pictures.insert(normalised, image);
    return image;
}

qint16 SkinStore::number(QStringView key) const
{
    const auto value = m_values.constFind(keyOf(key));
    if (value == m_values.cend())
        return 0;
    return parseSkinNumber(value.value()).value_or(0);
}

quint32 SkinStore::colour(QStringView key) const
{
    return colourValue(key).value_or(0);
}

std::optional<quint32> SkinStore::colourValue(QStringView key) const
{
    const auto value = m_values.constFind(keyOf(key));
    if (value == m_values.cend())
        return std::nullopt;
    return parseSkinColour(value.value());
}

std::optional<qint16> parseSkinNumber(QStringView text)
{
    text = text.trimmed();
    bool ok = false;
    const qint16 number = text.toShort(&ok, 10);
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<quint32> parseSkinColour(QStringView text)
{
    text = text.trimmed();
    bool ok = false;
    qint64 value = 0;
    if (text.startsWith("0x"_L1, Qt::CaseInsensitive)) {
        const QStringView digits = text.mid(2);
        if (digits.isEmpty() || digits.startsWith(u'+') || digits.startsWith(u'-'))
            return std::nullopt;
        const qulonglong hex = digits.toULongLong(&ok, 16);
        if (!ok || hex > 0xFFFFFFFFull)
            return std::nullopt;
        value = qint64(hex);
    } else {
        value = text.toLongLong(&ok, 10);
        if (!ok || value < -0x80000000LL || value > 0xFFFFFFFFLL)
            return std::nullopt;
    }
    const auto colour = quint32(value);
    if (colour <= 0x00FFFFFFu)
        return colour;
    if ((colour & systemColourFlag) && (colour & ~systemColourFlag) <= quint32(lastSystemColour))
        return colour;
    return std::nullopt;
}

QColor toQColor(quint32 colour, const QPalette &palette)
{
    if (colour & systemColourFlag) {
        const quint32 index = colour & ~systemColourFlag;
        return index <= quint32(lastSystemColour) ? systemColour(int(index), palette) : QColor(Qt::black);
    }
    if (colour > 0x00FFFFFFu)
        return Qt::black;
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

QColor toQColor(quint32 colour)
{
    return toQColor(colour, QGuiApplication::palette());
}

void SkinFile::setPath(const QString &path)
{
    m_path = path;
    m_stamp = stampOf(path);
    m_store = SkinStore::fromFile(path);
}

bool SkinFile::changedOnDisk() const
{
    return !(stampOf(m_path) == m_stamp);
}

bool SkinFile::reloadIfChanged()
{
    if (!changedOnDisk())
        return false;
    setPath(m_path);
    return true;
}

SkinFile::Stamp SkinFile::stampOf(const QString &path)
{
    Stamp stamp;
    if (path.isEmpty())
        return stamp;
    const QFileInfo info(path);
    stamp.exists = info.exists();
    if (stamp.exists) {
        stamp.size = info.size();
        stamp.modified = info.lastModified();
    }
    return stamp;
}

} // namespace Skin
