#pragma once

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringView>

#include <optional>

class QPalette;

namespace Skin {

// The largest skin file that is read; a larger one counts as broken.
inline constexpr qint64 MaxSkinFileSize = 64 * 1024 * 1024;

// The contents of a skin file: pictures (KEY.png or KEY.bmp) and the KEY=value lines of
// values.ini, looked up by key without regard to letter case. Whatever is missing or broken
// reads as empty: a null picture, the number 0, the colour 0.
class SkinStore
{
public:
    SkinStore() = default;
    // An empty store when the file is missing, too large or not a resource file.
    static SkinStore fromFile(const QString &path);
    static SkinStore fromData(const QByteArray &data);

    bool isEmpty() const { return m_pictureFiles.isEmpty() && m_values.isEmpty(); }

    // Decoded at the first request and kept; null when missing or when it does not load.
    QImage picture(QStringView key) const;
    // A decimal 16-bit number; 0 when missing or not such a number.
    qint16 number(QStringView key) const;
    // A colour number (see parseSkinColour); 0 when missing or out of range.
    quint32 colour(QStringView key) const;
    // The same, but nothing when the key is missing or its value is not a colour.
    std::optional<quint32> colourValue(QStringView key) const;

private:
    QHash<QString, QByteArray> m_pictureFiles;
    QHash<QString, QString> m_values;
    mutable QHash<QString, QImage> m_pictures;
};

// The number of a values.ini line: optional sign and decimal digits, within -32768..32767.
std::optional<qint16> parseSkinNumber(QStringView text);
// The colour of a values.ini line, decimal or 0x hexadecimal, within 32 bits (a negative
// decimal stands for its 32-bit pattern). 0x00BBGGRR is a plain colour; 0x80000000 plus an
// index 0..30 names a system colour. Anything else is out of range.
std::optional<quint32> parseSkinColour(QStringView text);
// A colour number as a QColor; system colours come from `palette`.
QColor toQColor(quint32 colour, const QPalette &palette);
QColor toQColor(quint32 colour);

// A skin file by path, read again only when its size or modification time changed.
class SkinFile
{
public:
    const QString &path() const { return m_path; }
    // Reads the file at once (also when the path is the same as before).
    void setPath(const QString &path);
    // True when the file on disk is no longer the one last read.
    bool changedOnDisk() const;
    // Reads the file again when it changed; true when it did.
    bool reloadIfChanged();
    const SkinStore &store() const { return m_store; }
    // Drops the contents; the file is still watched for changes.
    void releaseStore() { m_store = SkinStore(); }

private:
    struct Stamp
    {
        bool exists = false;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Stamp &other) const = default;
    };
    static Stamp stampOf(const QString &path);

    QString m_path;
    Stamp m_stamp;
    SkinStore m_store;
};

} // namespace Skin
