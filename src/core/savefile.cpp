#include "savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace Core {

namespace {

SaveFault &saveFault()
{
    static SaveFault fault;
    return fault;
}

bool injected(SaveStep step, const QString &path, bool *diskFull)
{
    const SaveFault &fault = saveFault();
    return fault && fault(step, path, diskFull);
}

// Qt reports a full disk as a resource error whose text may be "Unknown error"; the system's
// own word for it is taken from errno, which the failed write left.
bool isDiskFull(QFileDevice::FileError error, int systemError)
{
    if (systemError == ENOSPC)
        return true;
#ifdef EDQUOT
    if (systemError == EDQUOT)
        return true;
#endif
    return error == QFileDevice::ResourceError && systemError == 0;
}

SaveResult failed(const QString &path, bool diskFull, const QString &systemText)
{
    SaveResult result;
    result.diskFull = diskFull;
    result.reason = diskFull ? u"磁盘空间不足"_s : systemText.isEmpty() ? u"写入失败"_s : systemText;
    result.message = u"无法写入 "_s + QDir::toNativeSeparators(path) + u"："_s + result.reason;
    return result;
}

} // namespace

void setSaveFaultForTesting(SaveFault fault)
{
    saveFault() = std::move(fault);
}

SaveResult saveFile(const QString &path, const QByteArray &bytes)
{
    bool diskFull = false;
    if (injected(SaveStep::Open, path, &diskFull))
        return failed(path, diskFull, u"打开文件失败"_s);
    QSaveFile file(path);
    // Unbuffered, so each write reaches the system and a short one is seen as short.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(path, isDiskFull(file.error(), errno), file.errorString());
    qint64 done = 0;
    while (done < bytes.size()) {
        errno = 0;
        if (injected(SaveStep::Write, path, &diskFull)) {
            file.cancelWriting();
            return failed(path, diskFull, u"写入失败"_s);
        }
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const int systemError = errno;
            const QString text = systemError != 0 ? QString::fromLocal8Bit(std::strerror(systemError))
                                                  : file.errorString();
            file.cancelWriting();
            return failed(path, isDiskFull(file.error(), systemError), text);
        }
        done += written;
    }
    if (injected(SaveStep::Flush, path, &diskFull) || !file.flush() || file.size() != bytes.size()) {
        const int systemError = errno;
        file.cancelWriting();
        return failed(path, diskFull || isDiskFull(file.error(), systemError), file.errorString());
    }
    if (injected(SaveStep::Rename, path, &diskFull)) {
        file.cancelWriting();
        return failed(path, diskFull, u"替换原文件失败"_s);
    }
    if (!file.commit())
        return failed(path, isDiskFull(file.error(), errno), file.errorString());
    SaveResult result;
    result.saved = true;
    return result;
}

} // namespace Core
