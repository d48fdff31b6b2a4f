#include "pictures.h"

#include "core/savefile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace Export {

QString detectPictureType(const QByteArray &bytes)
{
    auto startsWith = [&bytes](std::initializer_list<unsigned char> prefix) {
        if (bytes.size() < qsizetype(prefix.size()))
            return false;
        qsizetype i = 0;
        for (const unsigned char b : prefix) {
            if (uchar(bytes.at(i++)) != b)
                return false;
        }
        return true;
    };
    if (startsWith({0xFF, 0xD8}))
        return u"JPG"_s;
    if (startsWith({0x47, 0x49}))
        return u"GIF"_s;
    if (startsWith({0x42, 0x4D}))
        return u"BMP"_s;
    if (startsWith({0x89, 0x50}))
        return u"PNG"_s;
    if (startsWith({0x00, 0x00, 0x01, 0x00, 0x01}))
        return u"ICO"_s;
    return {};
}

bool hasReadablePictureHeader(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return false;
    const QSize size = reader.size();
    if (size.isValid())
        return !size.isEmpty();
    // Some formats (icons) tell their size only by decoding; the reader's allocation
    // limit still guards against a header that claims a giant picture.
    if (reader.supportsOption(QImageIOHandler::Size))
        return false;
    return !reader.read().isNull();
}

namespace {

quint32 bigEndian(const QByteArray &b, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | uchar(b.at(at + i));
    return value;
}

quint32 littleEndian(const QByteArray &b, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | uchar(b.at(at + i));
    return value;
}

// Segments up to the end-of-image marker; the entropy-coded data after each start of scan
// runs to the next marker that is not a stuffed byte or a restart.
bool jpegRunsToItsEnd(const QByteArray &b)
{
    const qsizetype size = b.size();
    qsizetype pos = 2;
    while (pos < size) {
        if (uchar(b.at(pos)) != 0xFF)
            return false;
        while (pos < size && uchar(b.at(pos)) == 0xFF)
            ++pos;
        if (pos >= size)
            return false;
        const uchar marker = uchar(b.at(pos++));
        if (marker == 0xD9)
            return true;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        if (pos + 2 > size)
            return false;
        const qsizetype length = bigEndian(b, pos, 2);
        if (length < 2 || pos + length > size)
            return false;
        pos += length;
        if (marker != 0xDA)
            continue;
        while (true) {
            if (pos + 1 >= size)
                return false;
            if (uchar(b.at(pos)) == 0xFF) {
                const uchar next = uchar(b.at(pos + 1));
                if (next != 0x00 && next != 0xFF && !(next >= 0xD0 && next <= 0xD7))
                    break;
                pos += next == 0xFF ? 1 : 2;
            } else {
                ++pos;
            }
        }
    }
    return false;
}

// Chunks up to IEND, each whole.
bool pngRunsToItsEnd(const QByteArray &b)
{
    qsizetype pos = 8;
    while (pos + 12 <= b.size()) {
        const qsizetype length = bigEndian(b, pos, 4);
        if (pos + 12 + length > b.size())
            return false;
        if (b.mid(pos + 4, 4) == "IEND")
            return true;
        pos += 12 + length;
    }
    return false;
}

// Blocks up to the trailer.
bool gifRunsToItsEnd(const QByteArray &b)
{
    const qsizetype size = b.size();
    if (size < 13)
        return false;
    const auto colourTable = [](uchar packed) {
        return packed & 0x80 ? qsizetype(3) << ((packed & 7) + 1) : 0;
    };
    qsizetype pos = 13 + colourTable(uchar(b.at(10)));
    const auto skipSubBlocks = [&]() {
        while (pos < size) {
            const uchar length = uchar(b.at(pos++));
            if (length == 0)
                return true;
            pos += length;
        }
        return false;
    };
    while (pos < size) {
        const uchar block = uchar(b.at(pos++));
        if (block == 0x3B)
            return true;
        if (block == 0x21) {
            ++pos; // the extension's label
        } else if (block == 0x2C) {
            if (pos + 9 > size)
                return false;
            pos += 9 + colourTable(uchar(b.at(pos + 8)));
            ++pos; // the smallest code size
        } else {
            return false;
        }
        if (!skipSubBlocks())
            return false;
    }
    return false;
}

// The pixel data the header announces lies inside the file.
bool bmpRunsToItsEnd(const QByteArray &b)
{
    if (b.size() < 26)
        return false;
    const qint64 dataStart = littleEndian(b, 10, 4);
    const quint32 headerSize = littleEndian(b, 14, 4);
    qint64 width = 0, height = 0, bits = 0, compression = 0, dataSize = 0;
    if (headerSize == 12) {
        width = littleEndian(b, 18, 2);
        height = littleEndian(b, 20, 2);
        bits = littleEndian(b, 24, 2);
    } else if (headerSize >= 40 && b.size() >= 38) {
        width = qint32(littleEndian(b, 18, 4));
        height = qint32(littleEndian(b, 22, 4));
        bits = littleEndian(b, 28, 2);
        compression = littleEndian(b, 30, 4);
        dataSize = littleEndian(b, 34, 4);
    } else {
        return false;
    }
    const qint64 room = b.size() - dataStart; // the bytes from the start of the pixel data
    if (room <= 0)
        return false;
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (uncompressed) {
        // Compared by division: rows times height of a header's wild sizes overflow.
        const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
        return rowBytes > 0 && height != 0 && std::abs(height) <= room / rowBytes;
    }
    return dataSize > 0 && dataSize <= room;
}

// Every image the directory lists lies inside the file.
bool icoRunsToItsEnd(const QByteArray &b)
{
    const qsizetype count = littleEndian(b, 4, 2);
    if (count == 0 || 6 + 16 * count > b.size())
        return false;
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 length = littleEndian(b, 6 + 16 * i + 8, 4);
        const qint64 offset = littleEndian(b, 6 + 16 * i + 12, 4);
        if (length == 0 || offset + length > b.size())
            return false;
    }
    return true;
}

} // namespace

bool isCompletePicture(const QByteArray &bytes)
{
    const QString type = detectPictureType(bytes);
    bool whole = false;
    if (type == u"JPG"_s)
        whole = jpegRunsToItsEnd(bytes);
    else if (type == u"PNG"_s)
        whole = bytes.startsWith("\x89PNG\r\n\x1A\n") && pngRunsToItsEnd(bytes);
    else if (type == u"GIF"_s)
        whole = (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) && gifRunsToItsEnd(bytes);
    else if (type == u"BMP"_s)
        whole = bmpRunsToItsEnd(bytes);
    else if (type == u"ICO"_s)
        whole = icoRunsToItsEnd(bytes);
    if (!whole)
        return false;
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return !reader.read().isNull();
}

bool isFixedNameTarget(const QString &targetPath)
{
    const QString tail = targetPath.right(4);
    return tail == u".tbi"_s || tail == u".exe"_s || tail == u".rar"_s;
}

QString pathWithType(const QString &targetPath, const QString &type)
{
    const qsizetype dot = targetPath.lastIndexOf(u'.');
    qsizetype separator = targetPath.lastIndexOf(u'/');
    if (separator < 0)
        separator = targetPath.lastIndexOf(u'\\');
    if (dot > separator)
        return targetPath.left(dot) + u'.' + type;
    return targetPath + u'.' + type;
}

QString requestAddressOfPicture(const QString &url)
{
    const qsizetype query = url.indexOf(u'?');
    return query < 0 ? url : url.left(query);
}

QString pictureTypeOf(const QByteArray &bytes)
{
    const QString type = detectPictureType(bytes);
    return !type.isEmpty() && hasReadablePictureHeader(bytes) ? type : QString();
}

StoredPicture decideStoredPicture(const QString &targetPath, const QByteArray &body)
{
    if (body.isEmpty())
        return {};
    return storedPictureOfType(targetPath, pictureTypeOf(body));
}

StoredPicture storedPictureOfType(const QString &targetPath, const QString &type)
{
    // A ".tbi" main picture keeps its fixed name, but an error page answered with 200 is
    // not a picture: storing it would hand the listing tool a broken file as a success.
    if (targetPath.right(4) == u".tbi"_s)
        return type.isEmpty() ? StoredPicture{} : StoredPicture{u"1"_s, targetPath};
    if (isFixedNameTarget(targetPath))
        return {u"1"_s, targetPath};
    if (type.isEmpty())
        return {};
    return {type, pathWithType(targetPath, type)};
}

StoredPicture findCompletePicture(const QString &targetPath, qint64 maxBytes)
{
    const auto whole = [maxBytes](const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes)
            return false;
        return isCompletePicture(file.readAll());
    };
    if (targetPath.right(4) == u".tbi"_s)
        return whole(targetPath) ? StoredPicture{u"1"_s, targetPath} : StoredPicture{};
    if (isFixedNameTarget(targetPath))
        return {};
    for (const QString &type : {u"JPG"_s, u"GIF"_s, u"BMP"_s, u"PNG"_s, u"ICO"_s}) {
        const QString path = pathWithType(targetPath, type);
        if (whole(path))
            return {type, path};
    }
    return {};
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const Core::SaveResult result = Core::saveFile(path, bytes);
    if (!result && error)
        *error = result.reason;
    return result.saved;
}

Core::SaveResult writeUtf8File(const QString &text, const QString &path, bool bom)
{
    if (text.isEmpty()) {
        Core::SaveResult nothing;
        nothing.saved = true;
        return nothing;
    }
    QByteArray bytes = text.toUtf8();
    if (bom)
        bytes.prepend("\xEF\xBB\xBF");
    return Core::saveFile(path, bytes);
}

} // namespace Export

#include "core/httpclient.h"

namespace Export {

QString downloadPicture(Core::HttpClient &client, const QString &url, const QString &targetPath,
                        QString *storedPath)
{
    if (!url.startsWith(u"http://"_s))
        return {};
    const Core::HttpResult result =
        client.get({requestAddressOfPicture(url), Core::WaitMode::Long, Core::BodyKind::Picture});
    if (!result.succeeded())
        return {};
    const StoredPicture stored = decideStoredPicture(targetPath, result.body);
    if (stored.type.isEmpty() || !writeFileAtomically(stored.path, result.body))
        return {};
    if (storedPath)
        *storedPath = stored.path;
    return stored.type;
}

} // namespace Export
