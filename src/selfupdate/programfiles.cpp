#include "programfiles.h"

#include "updatelogging.h"

#include "core/httpclient.h"
#include "core/savefile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace SelfUpdate {

namespace {

// Reads fixed-size numbers of one byte order out of a file image, bounds-checked.
class Reader
{
public:
    Reader(const QByteArray &bytes, bool bigEndian) : m_bytes(bytes), m_bigEndian(bigEndian) {}

    quint64 size() const { return quint64(m_bytes.size()); }
    // True when [offset, offset + length) lies within the bytes, without overflow.
    bool holds(quint64 offset, quint64 length) const { return offset <= size() && length <= size() - offset; }

    template <typename T> T at(quint64 offset) const
    {
        if (!holds(offset, sizeof(T)))
            return 0;
        const char *p = m_bytes.constData() + offset;
        return m_bigEndian ? qFromBigEndian<T>(p) : qFromLittleEndian<T>(p);
    }

private:
    const QByteArray &m_bytes;
    bool m_bigEndian;
};

bool isElfProgram(const QByteArray &bytes)
{
    if (!bytes.startsWith("\x7f"
                          "ELF") ||
        bytes.size() < 16)
        return false;
    const char elfClass = bytes.at(4);
    const char byteOrder = bytes.at(5);
    if ((elfClass != 1 && elfClass != 2) || (byteOrder != 1 && byteOrder != 2))
        return false;
    const bool wide = elfClass == 2;
    const Reader r(bytes, byteOrder == 2);
    if (!r.holds(0, wide ? 64 : 52))
        return false;
    // A program or a position-independent one; not an object file or a core dump.
    const quint16 type = r.at<quint16>(16);
    if (type != 2 && type != 3)
        return false;

    const quint64 programHeaders = wide ? r.at<quint64>(32) : r.at<quint32>(28);
    const quint64 sectionHeaders = wide ? r.at<quint64>(40) : r.at<quint32>(32);
    const quint16 programHeaderSize = r.at<quint16>(wide ? 54 : 42);
    const quint16 programHeaderCount = r.at<quint16>(wide ? 56 : 44);
    const quint16 sectionHeaderSize = r.at<quint16>(wide ? 58 : 46);
    const quint16 sectionHeaderCount = r.at<quint16>(wide ? 60 : 48);

    if (programHeaderCount == 0 || programHeaderSize < (wide ? 56 : 32) ||
        !r.holds(programHeaders, quint64(programHeaderCount) * programHeaderSize))
        return false;
    for (quint16 i = 0; i < programHeaderCount; ++i) {
        const quint64 entry = programHeaders + quint64(i) * programHeaderSize;
        const quint64 offset = wide ? r.at<quint64>(entry + 8) : r.at<quint32>(entry + 4);
        const quint64 length = wide ? r.at<quint64>(entry + 32) : r.at<quint32>(entry + 16);
        if (length > 0 && !r.holds(offset, length))
            return false;
    }
    // The section table usually ends the file: a program cut short loses it first.
    // (A count of 0 with a table means the count lives in the first entry.)
    if (sectionHeaders != 0) {
        const quint64 count = sectionHeaderCount == 0 ? 1 : sectionHeaderCount;
        if (sectionHeaderSize == 0 || !r.holds(sectionHeaders, count * sectionHeaderSize))
            return false;
    }
    return true;
}

bool isPeProgram(const QByteArray &bytes)
{
    if (!bytes.startsWith("MZ"))
        return false;
    const Reader r(bytes, false);
    const quint64 pe = r.at<quint32>(0x3c);
    if (!r.holds(0, 0x40) || !r.holds(pe, 24) || bytes.mid(qsizetype(pe), 4) != QByteArrayView("PE\0\0", 4))
        return false;
    const quint16 sectionCount = r.at<quint16>(pe + 6);
    const quint16 optionalHeaderSize = r.at<quint16>(pe + 20);
    const quint16 characteristics = r.at<quint16>(pe + 22);
    // An executable image, and not a library.
    if (!(characteristics & 0x0002) || (characteristics & 0x2000) || sectionCount == 0)
        return false;
    const quint64 sections = pe + 24 + optionalHeaderSize;
    if (!r.holds(sections, quint64(sectionCount) * 40))
        return false;
    for (quint16 i = 0; i < sectionCount; ++i) {
        const quint64 entry = sections + quint64(i) * 40;
        const quint64 length = r.at<quint32>(entry + 16);
        const quint64 offset = r.at<quint32>(entry + 20);
        if (length > 0 && !r.holds(offset, length))
            return false;
    }
    return true;
}

bool isMachOProgram(const QByteArray &bytes)
{
    if (bytes.size() < 16)
        return false;
    const quint32 magic = qFromBigEndian<quint32>(bytes.constData());
    if (magic == 0xcafebabe) // a universal file, one program per processor
        return true;
    const bool littleEndian = magic == 0xcefaedfe || magic == 0xcffaedfe;
    if (!littleEndian && magic != 0xfeedface && magic != 0xfeedfacf)
        return false;
    const Reader r(bytes, !littleEndian);
    return r.at<quint32>(12) == 2; // MH_EXECUTE
}

} // namespace

QString programFileName(ProgramFile file)
{
    QString name;
    switch (file) {
    case ProgramFile::Main:
        name = u"Quorvex"_s;
        break;
    case ProgramFile::Updater:
        name = u"update"_s;
        break;
    case ProgramFile::DownloadCopy:
        name = u"bak"_s;
        break;
    }
#ifdef Q_OS_WIN
    name += u".exe"_s;
#endif
    return name;
}

ExecutableFormat executableFormat(const QByteArray &bytes)
{
    if (isElfProgram(bytes))
        return ExecutableFormat::Elf;
    if (isPeProgram(bytes))
        return ExecutableFormat::Pe;
    if (isMachOProgram(bytes))
        return ExecutableFormat::MachO;
    return ExecutableFormat::None;
}

ExecutableFormat platformExecutableFormat()
{
#if defined(Q_OS_WIN)
    return ExecutableFormat::Pe;
#elif defined(Q_OS_MACOS)
    return ExecutableFormat::MachO;
#else
    return ExecutableFormat::Elf;
#endif
}

ProgramDownload downloadProgram(Core::HttpClient &client, const QString &address)
{
    ProgramDownload download;
    const Core::HttpResult reply = client.get({address, Core::WaitMode::Long, Core::BodyKind::Program});
    if (reply.failure == Core::HttpResult::Failure::Cancelled || client.isCancelled()) {
        download.cancelled = true;
        download.reason = u"已停止"_s;
    } else if (!reply.succeeded()) {
        download.reason = reply.reason();
    } else if (reply.body.isEmpty()) {
        download.reason = u"服务器返回的内容为空"_s;
    } else if (executableFormat(reply.body) != platformExecutableFormat()) {
        download.reason = u"下载的内容不是本系统的可执行程序"_s;
    } else {
        download.program = reply.body;
    }
    if (!download.succeeded() && !download.cancelled)
        qCWarning(lcUpdate).noquote() << address << download.reason;
    return download;
}

bool installProgram(const QByteArray &program, const QString &target, QString *error,
                    std::chrono::milliseconds patience)
{
    QDeadlineTimer deadline(patience);
    for (;;) {
        // Written whole or not at all: a program cut short by a full disk never replaces one that runs.
        Core::FileSaver file(target);
        QString failure;
        const auto fail = [&](const QString &what, const QString &reason) {
            failure = what + u" "_s + QDir::toNativeSeparators(target) + u"："_s + reason;
            file.cancel();
        };
        const QFileDevice::Permissions executable =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
            QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        bool replacing = false;
        if (!file.open() || !file.write(program)) {
            fail(u"无法写入"_s, file.result().reason);
        } else if (!file.setPermissions(executable)) {
            fail(u"无法设置执行权限"_s, file.result().reason);
        } else {
            replacing = true;
            const Core::SaveResult saved = file.commit();
            if (saved)
                return true;
            failure = u"无法替换"_s + u" "_s + QDir::toNativeSeparators(target) + u"："_s + saved.reason;
        }
        // Windows keeps a program's file locked for a moment after its process ended: only
        // the replacing itself is tried again, and only while the patience lasts.
        if (!replacing || deadline.hasExpired() || !QFileInfo(target).isFile()) {
            qCWarning(lcUpdate).noquote() << failure;
            if (error)
                *error = failure;
            return false;
        }
        QThread::msleep(ulong(std::clamp<qint64>(deadline.remainingTime(), 1, 200)));
    }
}

} // namespace SelfUpdate
