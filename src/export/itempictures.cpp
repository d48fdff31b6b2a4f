#include "itempictures.h"

#include "exportsummary.h"
#include "pictures.h"
#include "sharedpictures.h"

#include "core/httpclient.h"
#include "core/logging.h"
#include "core/savefile.h"
#include "core/text.h"
#include "imaging/pictureinfo.h"
#include "imaging/watermarker.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QQueue>
#include <QSemaphore>

using namespace Qt::Literals::StringLiterals;

namespace Export {

QList<PictureToStore> pictureTargets(OutputType type, const QString &pictureFolder, const QString &itemFolder,
                                     const QStringList &mainUrls, const QStringList &descriptionUrls)
{
    QList<PictureToStore> pictures;
    for (const QString &url : mainUrls) {
        const QString digest = Core::Md5HexLower(url);
        const QString name =
            type == OutputType::Paipai ? QString(u'{' + digest + u"}.jpg"_s) : QString(digest + u".tbi"_s);
        pictures.append({.url = url, .target = Core::programFilePath(pictureFolder, name)});
    }
    for (const QString &url : descriptionUrls) {
        pictures.append({.url = url,
                         .target = Core::programFilePath(itemFolder, Core::Md5Hex(url) + u".jpg"_s),
                         .description = true});
    }
    return pictures;
}

QStringList ItemPictures::mainPictureSuffixes() const
{
    QStringList suffixes;
    for (qsizetype j = 0; j < pictures.size(); ++j) {
        if (!pictures.at(j).description)
            suffixes << u'.' + outcomes.at(j).type;
    }
    return suffixes;
}

QList<std::pair<QString, QString>> ItemPictures::storedDescriptionPictures() const
{
    QList<std::pair<QString, QString>> stored;
    for (qsizetype j = 0; j < pictures.size(); ++j) {
        if (pictures.at(j).description && !outcomes.at(j).type.isEmpty())
            stored.append({pictures.at(j).url, outcomes.at(j).path});
    }
    return stored;
}

QStringList ItemPictures::createdDescriptionFiles() const
{
    QStringList files;
    for (qsizetype j = 0; j < pictures.size(); ++j) {
        const PictureOutcome &outcome = outcomes.at(j);
        if (pictures.at(j).description && outcome.created && !outcome.type.isEmpty())
            files << outcome.path;
    }
    return files;
}

void ItemPictures::addTo(ItemReport &report) const
{
    for (qsizetype j = 0; j < pictures.size(); ++j) {
        const PictureOutcome &outcome = outcomes.at(j);
        if (!outcome.attempted)
            continue;
        if (outcome.type.isEmpty()) {
            report.failedPictures << pictures.at(j).url;
            report.failedPictureReasons << outcome.reason;
            qCInfo(lcExport) << "picture of" << report.code << "not stored:" << pictures.at(j).url
                             << outcome.reason;
        }
        if (outcome.unstamped)
            report.unstampedPictures << outcome.path;
        if (!outcome.problem.isEmpty())
            report.problems << outcome.problem;
    }
    report.reusedPictures += reused;
    report.sharedPictures += shared;
}

PictureStore::PictureStore(Core::HttpClient &client, SharedPictures &shared,
                           const Imaging::Watermarker *watermarker, bool reuse,
                           std::function<void()> onDiskFull)
    : m_client(client), m_shared(shared), m_watermarker(watermarker), m_reuse(reuse),
      m_onDiskFull(std::move(onDiskFull))
{
}

PictureStore::~PictureStore() = default;

bool PictureStore::stamps(const PictureToStore &picture) const
{
    return picture.description && m_watermarker;
}

PictureOutcome PictureStore::write(const StoredPicture &target, QByteArray bytes, bool stamp)
{
    PictureOutcome outcome;
    if (stamp) {
        // Stamped in memory and written once: the file keeps its name while its content
        // becomes JPEG, and a reader never sees the unstamped picture.
        QByteArray stamped;
        const QString fileName = QFileInfo(target.path).fileName();
        switch (m_watermarker->stamp(bytes, fileName, &stamped)) {
        case Imaging::Watermarker::Outcome::Stamped:
            bytes = stamped;
            break;
        case Imaging::Watermarker::Outcome::NotDrawn:
            // Re-encoded all the same, as a stamped picture is; the file no longer holds the
            // bytes as they arrived.
            bytes = stamped;
            outcome.unstamped = true;
            outcome.reencoded = true;
            break;
        case Imaging::Watermarker::Outcome::TooLarge:
        case Imaging::Watermarker::Outcome::NotAPicture:
            outcome.unstamped = true;
            break;
        }
    }
    outcome.created = !QFileInfo::exists(target.path);
    const Core::SaveResult saved = Core::saveFile(target.path, bytes);
    if (!saved) {
        if (saved.diskFull)
            m_onDiskFull();
        outcome.reason = u"无法写入图片文件："_s + saved.reason;
        outcome.problem = saved.message;
        outcome.unstamped = false;
        return outcome;
    }
    outcome.type = target.type;
    outcome.path = target.path;
    return outcome;
}

PictureOutcome PictureStore::store(const PictureToStore &picture, const Core::HttpResult &result,
                                   const QString &folder, FetchedPicture *fetched)
{
    PictureOutcome outcome;
    StoredPicture target;
    if (!result.succeeded()) {
        outcome.reason = result.reason();
    } else if (result.body.isEmpty()) {
        outcome.reason = u"服务器返回了空内容"_s;
    } else {
        fetched->type = pictureTypeOf(result.body);
        target = storedPictureOfType(picture.target, fetched->type);
        if (target.type.isEmpty())
            outcome.reason = u"下载的内容不是图片"_s;
    }
    if (!outcome.reason.isEmpty()) {
        fetched->reason = outcome.reason; // the same for every item that shows the picture
        return outcome;
    }
    if (!Core::isPathInside(folder, target.path)) {
        outcome.reason = u"图片文件名不安全"_s;
        return outcome;
    }
    const bool stamp = stamps(picture);
    outcome = write(target, result.body, stamp);
    if (outcome.type.isEmpty())
        return outcome;
    if (!stamp || (outcome.unstamped && !outcome.reencoded))
        fetched->rawPath = outcome.path;
    if (stamp) {
        fetched->stampedPath = outcome.path;
        fetched->unstamped = outcome.unstamped;
    }
    return outcome;
}

std::optional<PictureOutcome> PictureStore::copy(const PictureToStore &picture, const FetchedPicture &fetched,
                                                 const QString &folder)
{
    PictureOutcome outcome;
    if (!fetched.reason.isEmpty()) {
        outcome.reason = fetched.reason;
        return outcome;
    }
    const StoredPicture target = storedPictureOfType(picture.target, fetched.type);
    if (target.type.isEmpty()) {
        outcome.reason = u"下载的内容不是图片"_s;
        return outcome;
    }
    if (!Core::isPathInside(folder, target.path)) {
        outcome.reason = u"图片文件名不安全"_s;
        return outcome;
    }
    // A stamped copy is taken as it is; a picture kept as it arrived is stamped here, as its
    // own download would have been.
    const bool stamp = stamps(picture);
    const bool stampHere = stamp && fetched.stampedPath.isEmpty();
    const QString source = stamp && !stampHere ? fetched.stampedPath : fetched.rawPath;
    if (source.isEmpty())
        return std::nullopt; // the first download left no file to copy
    if (source == target.path && !stampHere) {
        outcome.type = target.type;
        outcome.path = target.path;
        return outcome;
    }
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly) || file.size() > m_client.options().maxBytes(Core::BodyKind::Picture))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        return std::nullopt;
    outcome = write(target, bytes, stampHere);
    if (stamp && !stampHere)
        outcome.unstamped = !outcome.type.isEmpty() && fetched.unstamped;
    return outcome;
}

PictureOutcome PictureStore::reusable(const PictureToStore &picture, const QString &folder) const
{
    PictureOutcome outcome;
    const StoredPicture onDisk =
        findCompletePicture(picture.target, m_client.options().maxBytes(Core::BodyKind::Picture));
    if (onDisk.type.isEmpty() || !Core::isPathInside(folder, onDisk.path))
        return outcome;
    outcome.type = onDisk.type;
    outcome.path = onDisk.path;
    // Only what this run fetched is stamped, so no picture is stamped twice. The file is
    // reported as a fresh run would: unstamped when the size guard would turn it away.
    if (stamps(picture))
        outcome.unstamped = Imaging::TooLargeForWatermark(onDisk.path);
    return outcome;
}

std::unique_ptr<PictureStore::Batch> PictureStore::begin(QList<PictureToStore> pictures,
                                                         const QString &pictureFolder)
{
    return std::unique_ptr<Batch>(new Batch(*this, std::move(pictures), pictureFolder));
}

struct PictureStore::Batch::Pending
{
    bool requested = false;
    QString address{};        // what is requested: the URL without its query
    bool downloading = false; // this item downloads the address, for every item that shows it
    QFuture<Core::HttpResult> reply{};
};

// The pictures of one item tell it here when they are ready to store: a download of its
// own has arrived (no FetchedPicture), or another item's download of the same address
// was published.
class PictureStore::Batch::Arrivals
{
public:
    void push(int picture, std::optional<FetchedPicture> fetched)
    {
        {
            QMutexLocker locker(&m_mutex);
            m_queue.enqueue({picture, std::move(fetched)});
        }
        m_ready.release();
    }
    std::pair<int, std::optional<FetchedPicture>> take()
    {
        m_ready.acquire();
        QMutexLocker locker(&m_mutex);
        return m_queue.dequeue();
    }

private:
    QMutex m_mutex;
    QSemaphore m_ready;
    QQueue<std::pair<int, std::optional<FetchedPicture>>> m_queue;
};

PictureStore::Batch::Batch(PictureStore &store, QList<PictureToStore> pictures, QString folder)
    : m_store(store), m_folder(std::move(folder)), m_arrivals(std::make_shared<Arrivals>())
{
    const int total = int(pictures.size());
    m_result.pictures = std::move(pictures);
    m_result.outcomes.resize(total);
    m_pending.resize(total);
    for (int j = 0; j < total; ++j) {
        const PictureToStore &picture = m_result.pictures.at(j);
        Pending &pending = m_pending[j];
        if (!Core::trimSpaces(picture.url).startsWith(u"http://"_s))
            continue;
        if (m_store.m_reuse) {
            m_result.outcomes[j] = m_store.reusable(picture, m_folder);
            if (!m_result.outcomes[j].type.isEmpty()) {
                m_result.outcomes[j].attempted = true;
                ++m_result.reused;
                continue;
            }
        }
        pending.requested = true;
        ++m_awaited;
        pending.address = requestAddressOfPicture(Core::trimSpaces(picture.url));
        pending.downloading = m_store.m_shared.claim(
            pending.address,
            [arrivals = m_arrivals, j](const FetchedPicture &fetched) { arrivals->push(j, fetched); });
        if (pending.downloading)
            download(j);
    }
}

PictureStore::Batch::~Batch() = default;

void PictureStore::Batch::download(int j)
{
    Pending &pending = m_pending[j];
    pending.reply =
        m_store.m_client.getAsync({pending.address, Core::WaitMode::Long, Core::BodyKind::Picture});
    pending.reply.then(QtFuture::Launch::Sync, [arrivals = m_arrivals, j](const Core::HttpResult &) {
        arrivals->push(j, std::nullopt);
    });
}

ItemPictures PictureStore::Batch::collect(const std::function<void(int done, int total)> &progress)
{
    for (int done = 0; done < m_awaited;) {
        progress(done, int(m_result.pictures.size()));
        const auto [j, fetched] = m_arrivals->take();
        const PictureToStore &picture = m_result.pictures.at(j);
        Pending &pending = m_pending[j];
        if (fetched) {
            const std::optional<PictureOutcome> copied = m_store.copy(picture, *fetched, m_folder);
            if (!copied) {
                // Nothing on disk to copy from (the first download could not be written):
                // this item downloads the picture itself.
                pending.downloading = true;
                download(j);
                continue;
            }
            m_result.outcomes[j] = *copied;
            ++m_result.shared;
        } else {
            // The original future is finished before its continuation runs.
            const Core::HttpResult result = pending.reply.result();
            pending.reply = {};
            FetchedPicture published;
            m_result.outcomes[j] = m_store.store(picture, result, m_folder, &published);
            m_store.m_shared.publish(pending.address, published);
        }
        m_result.outcomes[j].attempted = true;
        ++done;
    }
    m_awaited = 0;
    return std::move(m_result);
}

} // namespace Export
