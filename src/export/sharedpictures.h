#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <functional>
#include <vector>

namespace Export {

// What the first download of a picture address left behind for the other items of the run
// that show the same picture.
struct FetchedPicture
{
    QString reason;         // why the download gave no picture; empty when it gave one
    QString type;           // the picture's type, read from its bytes
    QString rawPath;        // a file holding the bytes as they arrived, when one was written
    QString stampedPath;    // a file holding them as a description stores them under the watermark
    bool unstamped = false; // stampedPath holds the bytes as they arrived: they could not be stamped
};

// The picture downloads of one run, by address: the first item that needs a picture
// downloads it, the others wait for that download and copy what it stored. No picture's
// bytes are kept, only where they were stored, and only for the addresses used most
// lately: memory stays flat however long the list. An address forgotten is downloaded
// again by the next item that shows it, which gives the same files.
class SharedPictures
{
public:
    explicit SharedPictures(int remembered = 4096) : m_remembered(qMax(2, remembered)) {}

    using Ready = std::function<void(const FetchedPicture &)>;

    // True: the caller is the first to ask, downloads the address and then calls
    // publish(). False: ready runs once that download is published (at once when it already
    // is), on the thread that publishes it.
    bool claim(const QString &address, Ready ready);

    // What the download of the address gave. A later call for the same address (a download
    // made again because the first left no file to copy) only adds the files the earlier
    // ones lack.
    void publish(const QString &address, const FetchedPicture &fetched);

private:
    struct Entry
    {
        bool published = false;
        quint64 lastUse = 0;
        FetchedPicture fetched{};
        std::vector<Ready> waiting{};
    };
    static QByteArray keyOf(const QString &address);
    void forgetOldest();

    const int m_remembered;
    quint64 m_clock = 0;
    QMutex m_mutex;
    QHash<QByteArray, Entry> m_entries;
};

} // namespace Export
