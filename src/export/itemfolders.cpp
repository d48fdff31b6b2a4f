#include "itemfolders.h"

#include <QMutexLocker>

using namespace Qt::Literals::StringLiterals;

namespace Export {

bool caseBlindFileSystem()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool windowsPathLimit()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

qsizetype itemFolderRoom(qsizetype pictureFolderLength, bool pathLimit)
{
    if (!pathLimit)
        return -1;
    // picture folder + "\" + item folder + "\" + file name
    return qMax<qsizetype>(windowsMaxPath - pictureFolderLength - 2 - longestItemFileName, 0);
}

QString fitFolderName(const QString &name, qsizetype room)
{
    if (room < 0 || name.size() <= room)
        return name;
    QString cut = name.left(room);
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    while (!cut.isEmpty() && (cut.back() == u'.' || cut.back() == u' '))
        cut.chop(1);
    return cut;
}

QString ItemFolders::claim(const QString &wanted)
{
    const QString name = fitFolderName(wanted, m_room);
    if (name.isEmpty())
        return name;
    QMutexLocker locker(&m_mutex);
    const auto known = m_byName.constFind(name);
    if (known != m_byName.constEnd())
        return *known;
    for (int number = 1;; ++number) {
        QString candidate = name;
        if (number > 1) {
            const QString suffix = u'-' + QString::number(number);
            candidate =
                fitFolderName(name, m_room < 0 ? -1 : qMax<qsizetype>(m_room - suffix.size(), 0)) + suffix;
            if (m_room >= 0 && candidate.size() > m_room)
                return {}; // no room for a name of its own
        }
        if (!m_taken.contains(key(candidate))) {
            m_taken.insert(key(candidate));
            m_byName.insert(name, candidate);
            return candidate;
        }
    }
}

} // namespace Export
