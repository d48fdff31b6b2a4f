#include "versionrecord.h"

#include "core/savefile.h"
#include "core/text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace SelfUpdate {

QString versionRecordFileName()
{
    return u"tb.dat"_s;
}

QByteArray versionFieldBytes(const QString &version)
{
    QByteArray bytes = Core::encodeAnsi(version).left(versionFieldLength);
    bytes.append(QByteArray(versionFieldLength - bytes.size(), ' '));
    return bytes;
}

QString readVersionField(const QString &programDir)
{
    const QString path = Core::programFilePath(programDir, versionRecordFileName());
    QFile file(path);
    if (!QFileInfo::exists(path) && file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.close();
    if (!file.open(QIODevice::ReadOnly) || !file.seek(versionFieldOffset))
        return {};
    return Core::decodeAnsi(file.read(versionFieldLength));
}

namespace {

// The record is a few bytes; a file far larger is not the record and is not read whole.
constexpr qint64 maxVersionRecordBytes = 1024 * 1024;

} // namespace

bool writeVersionField(const QString &programDir, const QString &version, QString *error)
{
    const QString path = Core::programFilePath(programDir, versionRecordFileName());
    // The record is rewritten whole beside itself and then put in its place: a disk that
    // fills on the way leaves the old record, never half of one.
    QByteArray bytes;
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly) || file.size() > maxVersionRecordBytes) {
            if (error)
                *error = u"无法打开 "_s + QDir::toNativeSeparators(path) + u"："_s +
                         (file.isOpen() ? u"文件过大"_s : file.errorString());
            return false;
        }
        bytes = file.readAll();
        file.close();
    }
    if (bytes.size() < versionFieldOffset)
        bytes.append(QByteArray(versionFieldOffset - bytes.size(), '\0'));
    bytes.replace(versionFieldOffset, versionFieldLength, versionFieldBytes(version));
    const Core::SaveResult saved = Core::saveFile(path, bytes);
    if (!saved && error)
        *error = saved.message;
    return saved.saved;
}

} // namespace SelfUpdate
