#include "pictures.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

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
    const QSize size = reader.size();
    // Not canRead(): Qt's icon reader says no to every icon, its own ones included.
    return size.isValid() && !size.isEmpty();
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

StoredPicture decideStoredPicture(const QString &targetPath, const QByteArray &body)
{
    if (body.isEmpty())
        return {};
    QString type = detectPictureType(body);
    if (!type.isEmpty() && !hasReadablePictureHeader(body))
        type.clear();
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

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

namespace {

void addUrl(QString &list, const QString &url)
{
    if (list.trimmed().isEmpty())
        list = url;
    else if (!list.contains(url))  // a URL inside an already collected one is not added
        list += u'\t' + url;
}

} // namespace

QStringList extractDescriptionPictures(const QString &description, const QStringList &markers)
{
    const auto marker = [&markers](int slot) { return markers.value(slot - 28); };
    const QString m28 = marker(28), m29 = marker(29), m30 = marker(30), m31 = marker(31), m32 = marker(32),
                  m33 = marker(33);
    QString list;
    // An empty marker matches everywhere and would never advance: such a pass finds nothing.
    if (!m28.isEmpty()) {
        qsizetype pos = 0;
        while (true) {
            const qsizetype at = description.indexOf(m28, pos);
            if (at < 0)
                break;
            pos = at + m28.size();
            const QStringView rest = QStringView(description).mid(pos);
            QString url;
            const qsizetype tagEnd = m29.isEmpty() ? -1 : rest.indexOf(m29);
            if (tagEnd >= 0) {
                QStringView tag = rest.left(tagEnd);
                const qsizetype src = tag.indexOf(m30);
                if (src >= 0) {
                    tag = tag.mid(src + m30.size());
                    const qsizetype close = m31.isEmpty() ? -1 : tag.indexOf(m31);
                    if (close >= 0)
                        url = tag.left(close).toString();
                }
            }
            addUrl(list, url);
        }
    }
    if (!m32.isEmpty()) {
        qsizetype pos = 0;
        while (true) {
            const qsizetype at = description.indexOf(m32, pos);
            if (at < 0)
                break;
            pos = at + m32.size();
            const qsizetype end = m33.isEmpty() ? -1 : description.indexOf(m33, pos);
            addUrl(list, end < 0 ? QString() : description.mid(pos, end - pos));
        }
    }
    return list.isEmpty() ? QStringList() : list.split(u'\t');
}

QString writeUtf8File(const QString &text, const QString &path, bool bom)
{
    if (text.isEmpty())
        return {};
    QByteArray bytes = text.toUtf8();
    if (bom)
        bytes.prepend("\xEF\xBB\xBF");
    QString error;
    if (!writeFileAtomically(path, bytes, &error))
        return error.isEmpty() ? u"cannot write "_s + path : error;
    return {};
}

} // namespace Export

#include "core/httpclient.h"

namespace Export {

QString downloadPicture(Core::HttpClient &client, const QString &url, const QString &targetPath,
                        QString *storedPath)
{
    if (!url.startsWith(u"http://"_s))
        return {};
    const Core::HttpResult result = client.get({requestAddressOfPicture(url), Core::WaitMode::Long, Core::BodyKind::Picture});
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
