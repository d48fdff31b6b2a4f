#pragma once

#include "layouts.h"

#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace Core {
class HttpClient;
struct HttpResult;
} // namespace Core

namespace Imaging {
class Watermarker;
}

namespace Export {

struct FetchedPicture;
struct ItemReport;
struct StoredPicture;
class SharedPictures;

// A picture of an item and where it goes: main pictures into the picture folder under the
// digest of their address, description pictures into the item's own folder.
struct PictureToStore
{
    QString url{};
    QString target{};
    bool description = false;
};
QList<PictureToStore> pictureTargets(OutputType type, const QString &pictureFolder, const QString &itemFolder,
                                     const QStringList &mainUrls, const QStringList &descriptionUrls);

// What became of one picture.
struct PictureOutcome
{
    bool attempted = false; // it was fetched, copied or taken from an earlier run
    QString type{};         // empty when nothing was stored
    QString path{};
    QString reason{};  // why nothing was stored
    QString problem{}; // a file that could not be written
    bool unstamped = false;
    bool reencoded = false; // unstamped, but written as JPEG: not the bytes as they arrived
    bool created = false;   // the file was not there before this run stored it
};

// The pictures of one item as they were stored, in the item's order.
struct ItemPictures
{
    QList<PictureToStore> pictures;
    QList<PictureOutcome> outcomes;
    int reused = 0; // taken from the picture folder instead of fetched
    int shared = 0; // copied from another item's download of this run

    // "." + the stored type of each main picture ("." alone for one not stored).
    QStringList mainPictureSuffixes() const;
    // The description pictures that were stored: their URL and their file.
    QList<std::pair<QString, QString>> storedDescriptionPictures() const;
    // The description pictures this run created, none there before.
    QStringList createdDescriptionFiles() const;
    // The pictures that failed, were left unstamped or could not be written, and the counts.
    void addTo(ItemReport &report) const;
};

// The picture stage of the items of one run. Every picture of an item is asked for at
// once (the network layer keeps to the connection limit per host) and stored as soon as
// it arrives, so a slow first picture never keeps the bodies of the others waiting in
// memory. A picture another item of the run already asked for is not asked for again:
// that download is shared, and each item stores its own copy of what it gave.
class PictureStore
{
public:
    // watermarker: description pictures are stamped with it when there is one.
    // reuse: a picture an earlier run left whole in the folder stands for its download.
    // onDiskFull: called when a write finds the disk full.
    PictureStore(Core::HttpClient &client, SharedPictures &shared, const Imaging::Watermarker *watermarker,
                 bool reuse, std::function<void()> onDiskFull);
    ~PictureStore();

    class Batch;
    // Asks for the item's pictures; what else the item has to fetch can go on meanwhile.
    std::unique_ptr<Batch> begin(QList<PictureToStore> pictures, const QString &pictureFolder);

private:
    friend class Batch;
    bool stamps(const PictureToStore &picture) const;
    PictureOutcome write(const StoredPicture &target, QByteArray bytes, bool stamp);
    // Stores a download of the item's own; what it gave goes to fetched, for the other
    // items that show the same picture.
    PictureOutcome store(const PictureToStore &picture, const Core::HttpResult &result, const QString &folder,
                         FetchedPicture *fetched);
    // Stores the item's copy of a picture another item downloaded; nothing when there is no
    // file left to copy from.
    std::optional<PictureOutcome> copy(const PictureToStore &picture, const FetchedPicture &fetched,
                                       const QString &folder);
    PictureOutcome reusable(const PictureToStore &picture, const QString &folder) const;

    Core::HttpClient &m_client;
    SharedPictures &m_shared;
    const Imaging::Watermarker *m_watermarker;
    const bool m_reuse;
    const std::function<void()> m_onDiskFull;
};

// One item's pictures on their way.
class PictureStore::Batch
{
public:
    ~Batch();
    // Waits for every picture asked for and stores it; progress(done, total) comes before
    // each wait. Called once: the batch is spent then.
    ItemPictures collect(const std::function<void(int done, int total)> &progress);

private:
    friend class PictureStore;
    struct Pending;
    class Arrivals;
    Batch(PictureStore &store, QList<PictureToStore> pictures, QString folder);
    void download(int j);

    PictureStore &m_store;
    QString m_folder;
    ItemPictures m_result;
    QList<Pending> m_pending;
    std::shared_ptr<Arrivals> m_arrivals;
    int m_awaited = 0;
};

} // namespace Export
