#pragma once

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>

namespace Export {

// Windows opens no path longer than this without its long-path prefix, and the listing
// tools that read an import file use none: every path a row names stays within it.
constexpr qsizetype windowsMaxPath = 259;
// The longest name a run stores inside an item folder: a 32-digit digest and ".jpg".
constexpr qsizetype longestItemFileName = 36;
// The longest name a run stores in the picture folder itself: "{" digest "}.htm", ".xml", ".jpg".
constexpr qsizetype longestPictureFolderFileName = 38;

// True when the file system of this platform takes "ABC" and "abc" for one name.
bool caseBlindFileSystem();
// True where paths are held to windowsMaxPath.
bool windowsPathLimit();

// The characters an item folder's name may have under a picture folder of this many
// characters so that its files stay within the path limit; 0 when not even one fits;
// -1 when the platform has no such limit.
qsizetype itemFolderRoom(qsizetype pictureFolderLength, bool pathLimit);

// The name cut to at most room characters (room < 0: as it is), without half a character
// and without the dots and spaces Windows drops at the end of a name.
QString fitFolderName(const QString &name, qsizetype room);

// The item folders of one run. Items with the same name share their folder (their pictures
// are named for their addresses). On a file system blind to letter case, a name that differs
// from one already given only in case would be the same folder too: it gets the first free
// "-2", "-3", ... instead, cut to fit the room. Which of the two is first is the order
// their records arrive in. Safe from any thread.
class ItemFolders
{
public:
    ItemFolders(bool caseBlind, qsizetype room) : m_caseBlind(caseBlind), m_room(room) {}

    // The folder name for an item whose own name is name (already cleaned); empty stays empty.
    QString claim(const QString &name);

private:
    QString key(const QString &name) const { return m_caseBlind ? name.toCaseFolded() : name; }

    QMutex m_mutex;
    QHash<QString, QString> m_byName; // a name asked for -> the folder it was given
    QSet<QString> m_taken;            // the folders given, as the file system compares them
    bool m_caseBlind;
    qsizetype m_room;
};

} // namespace Export
