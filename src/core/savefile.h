#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <functional>

namespace Core {

// How a file write ended. A full disk is told apart: every later write would fail too.
struct SaveResult
{
    bool saved = false;
    bool diskFull = false;
    QString reason;  // in the window's words: "磁盘空间不足", or the system's text
    QString message; // the reason with the file's path; empty when saved

    explicit operator bool() const { return saved; }
};

// The one way this program writes a file: the bytes go to a temporary file beside the path,
// every write and the final flush are checked (a short write is not taken as done), and the
// temporary file is renamed over the path only when all of it was written; on failure it is
// removed and the file at the path stays as it was.
SaveResult saveFile(const QString &path, const QByteArray &bytes);

// A file written in pieces (an import file row by row), the way saveFile() writes one whole.
// Destroyed before commit(), it leaves the file at the path as it was.
class FileSaver
{
public:
    explicit FileSaver(const QString &path);

    bool open();
    // False once any step failed; the first failure is what result() tells.
    bool write(const QByteArray &bytes);
    // Renames the written file over the path when every write went through.
    SaveResult commit();
    // Drops what was written.
    void cancel();
    // The permissions the file will have once committed.
    bool setPermissions(QFileDevice::Permissions permissions);
    const SaveResult &result() const { return m_result; }
    bool failed() const { return m_failed; }

private:
    bool fail(bool diskFull, const QString &systemText);

    QString m_path;
    QSaveFile m_file;
    SaveResult m_result;
    bool m_failed = false;
    qint64 m_written = 0;
};

// The steps of a write a test can make fail, the way a failing disk would.
enum class SaveStep { Open, Write, Flush, Rename };
// For tests only: called before each step of every write; returning true fails the step,
// as a full disk when diskFull is set, otherwise as a disk that refuses the file. An empty
// function (the default) fails nothing. Not for use while writes run on other threads.
using SaveFault = std::function<bool(SaveStep step, const QString &path, bool *diskFull)>;
void setSaveFaultForTesting(SaveFault fault);

} // namespace Core
