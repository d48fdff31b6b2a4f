#include "versionrecord.h"

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

bool writeVersionField(const QString &programDir, const QString &version, QString *error)
{
    const QString path = Core::programFilePath(programDir, versionRecordFileName());
    QFile file(path);
    const auto fail = [&](const QString &what) {
        if (error)
            *error = what + u" "_s + QDir::toNativeSeparators(path) + u"："_s + file.errorString();
        return false;
    };
    if (!file.open(QIODevice::ReadWrite))
        return fail(u"无法打开"_s);
    if (file.size() < versionFieldOffset && !file.resize(versionFieldOffset))
        return fail(u"无法写入"_s);
    if (!file.seek(versionFieldOffset) || file.write(versionFieldBytes(version)) != versionFieldLength ||
        !file.flush())
        return fail(u"无法写入"_s);
    return true;
}

} // namespace SelfUpdate
