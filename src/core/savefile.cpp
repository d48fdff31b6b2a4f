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

SaveResult failure(const QString &path, bool diskFull, const QString &systemText)
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

FileSaver::FileSaver(const QString &path) : m_path(path), m_file(path) {}

bool FileSaver::fail(bool diskFull, const QString &systemText)
{
    if (!m_failed) {
        m_failed = true;
        m_result = failure(m_path, diskFull, systemText);
    }
    m_file.cancelWriting();
    return false;
}

bool FileSaver::open()
{
    bool diskFull = false;
    if (injected(SaveStep::Open, m_path, &diskFull))
        return fail(diskFull, u"打开文件失败"_s);
    errno = 0;
    // Unbuffered, so each write reaches the system and a short one is seen as short.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(isDiskFull(m_file.error(), errno), m_file.errorString());
    return true;
}

bool FileSaver::write(const QByteArray &bytes)
{
    if (m_failed || !m_file.isOpen())
        return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        bool diskFull = false;
        if (injected(SaveStep::Write, m_path, &diskFull))
            return fail(diskFull, u"写入失败"_s);
        errno = 0;
        const qint64 written = m_file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const int systemError = errno;
            return fail(isDiskFull(m_file.error(), systemError),
                        systemError != 0 ? QString::fromLocal8Bit(std::strerror(systemError))
                                         : m_file.errorString());
        }
        done += written;
    }
    m_written += done;
    return true;
}

SaveResult FileSaver::commit()
{
    if (m_failed || !m_file.isOpen())
        return m_result;
    bool diskFull = false;
    errno = 0;
    if (injected(SaveStep::Flush, m_path, &diskFull) || !m_file.flush() || m_file.size() != m_written) {
        const int systemError = errno;
        fail(diskFull || isDiskFull(m_file.error(), systemError), m_file.errorString());
        return m_result;
    }
    if (injected(SaveStep::Rename, m_path, &diskFull)) {
        fail(diskFull, u"替换原文件失败"_s);
        return m_result;
    }
    errno = 0;
    if (!m_file.commit()) {
        fail(isDiskFull(m_file.error(), errno), m_file.errorString());
        return m_result;
    }
    m_result = {};
    m_result.saved = true;
    return m_result;
}

void FileSaver::cancel()
{
    m_file.cancelWriting();
}

bool FileSaver::setPermissions(QFileDevice::Permissions permissions)
{
    if (m_failed || !m_file.isOpen())
        return false;
    return m_file.setPermissions(permissions) || fail(false, m_file.errorString());
}

SaveResult saveFile(const QString &path, const QByteArray &bytes)
{
    FileSaver file(path);
    if (file.open())
        file.write(bytes);
    return file.commit();
}

} // namespace Core
