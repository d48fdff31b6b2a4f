#include "exportjob.h"

#include "core/savefile.h"
#include "itemfolders.h"
#include "location.h"
#include "pictures.h"
#include "sharedpictures.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/logging.h"
#include "core/text.h"
#include "imaging/pictureinfo.h"
#include "imaging/watermarker.h"
#include "market/itemlist.h"
#include "market/itemservice.h"
#include "market/parameterslots.h"
#include "market/parampages.h"
#include "market/stocklist.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QQueue>
#include <QSaveFile>
#include <QSemaphore>
#include <QSet>
#include <QStringEncoder>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace Export {

ExportPaths deriveExportPaths(const QString &csvPath, const QString &programDir)
{
    ExportPaths paths;
    const qsizetype separator = std::max(csvPath.lastIndexOf(u'/'), csvPath.lastIndexOf(u'\\'));
    QString fileName;
    if (separator >= 0) {
        paths.csvFolder = csvPath.left(separator);
        if (paths.csvFolder.isEmpty())
            paths.csvFolder = csvPath.left(1); // a file in the root folder
        fileName = csvPath.mid(separator + 1);
        // Built from the same cut as the picture folder, so either separator puts the
        // file and its pictures side by side.
        paths.csvFile = Core::programFilePath(paths.csvFolder, fileName);
    } else {
        // Without a folder the import file and its pictures both go to the program folder,
        // so the listing tool finds the pictures beside the file.
        paths.csvFolder = programDir;
        const qsizetype colon = csvPath.lastIndexOf(u':');
        fileName = colon >= 0 ? csvPath.mid(colon + 1) : csvPath;
        paths.csvFile = Core::programFilePath(programDir, fileName);
    }
    const qsizetype dot = fileName.lastIndexOf(u'.');
    paths.baseName = dot >= 0 ? fileName.left(dot) : fileName;
    paths.pictureFolder = Core::programFilePath(paths.csvFolder, paths.baseName);
    return paths;
}

QString checkCsvPath(const QString &csvPath)
{
    const QString tail = csvPath.right(4);
    if (tail != u".csv"_s && tail != u".CSV"_s)
        return u"文件名要‘.csv’为扩展名"_s;
    return {};
}

QString ExportSummary::text() const
{
    QString text = (cancelled               ? u"已停止,共成功下载"_s
                    : !stopReason.isEmpty() ? stopReason + u",共成功下载"_s
                                            : u"下载完成,共成功下载"_s) +
                   QString::number(written) + u"个"_s;
    if (recordFailures > 0)
        text += u"，"_s + QString::number(recordFailures) + u"个商品读取失败"_s;
    if (pictureFailures > 0)
        text += u"，"_s + QString::number(pictureFailures) + u"张图片下载失败"_s;
    if (unstampedPictures > 0)
        text += u"，"_s + QString::number(unstampedPictures) + u"张图片未加水印"_s;
    if (fileFailures > 0)
        text += u"，"_s + QString::number(fileFailures) + u"个文件写入失败"_s;
    if (duplicates > 0)
        text += u"，"_s + QString::number(duplicates) + u"个重复商品只导出一次"_s;
    if (reusedPictures > 0)
        text += u"，"_s + QString::number(reusedPictures) + u"张图片使用了已下载的文件"_s;
    if (cancelled || !stopReason.isEmpty()) {
        const int reached = written + recordFailures;
        const int unique = itemCount - duplicates;
        text += u"，"_s + QString::number(std::max(0, unique - reached)) + u"件商品未下载"_s;
    }
    return text;
}

QString ExportSummary::details(bool withSummary) const
{
    QStringList lines;
    if (!error.isEmpty())
        lines << error;
    if (started && withSummary)
        lines << text();
    lines << notes;
    for (const ItemReport &item : items) {
        switch (item.status) {
        case ItemReport::Status::RecordFailed:
            lines << u"商品读取失败: "_s + item.code + u' ' + item.title + u"（"_s + item.reason + u"）"_s;
            break;
        case ItemReport::Status::PicturesFailed:
            lines << u"图片下载失败: "_s + item.code + u' ' + item.title;
            for (qsizetype k = 0; k < item.failedPictures.size(); ++k) {
                const QString reason = item.failedPictureReasons.value(k);
                lines << u"    "_s + item.failedPictures.at(k) +
                             (reason.isEmpty() ? QString() : u"（"_s + reason + u"）"_s);
            }
            break;
        default:
            if (!item.problems.isEmpty())
                lines << u"文件写入失败: "_s + item.code + u' ' + item.title;
            break;
        }
        if (!item.unstampedPictures.isEmpty()) {
            lines << u"未加水印: "_s + item.code + u' ' + item.title;
            for (const QString &path : item.unstampedPictures)
                lines << u"    "_s + QDir::toNativeSeparators(path);
        }
        for (const QString &problem : item.problems)
            lines << u"    "_s + problem;
    }
    return lines.join(u'\n');
}

// The working memory of the items in flight, counted in characters of their item
// documents (an item holds a few copies of its document while it works). An item
// reserves the largest document it may receive before asking for it and gives the rest
// back once it is there; the share goes back when the writer is done with the item. The
// item the writer waits for never waits here, so the run always moves on.
class ExportJob::DocumentBudget
{
public:
    explicit DocumentBudget(qint64 capacity) : m_capacity(capacity) {}

    void acquire(qint64 amount, const std::function<bool()> &mayPass)
    {
        QMutexLocker locker(&m_mutex);
        while (m_used > 0 && m_used + amount > m_capacity && !mayPass())
            m_changed.wait(&m_mutex);
        m_used += amount;
    }
    void release(qint64 amount)
    {
        QMutexLocker locker(&m_mutex);
        m_used -= amount;
        m_changed.wakeAll();
    }
    // The writer moved to another item: the one now first may pass.
    void wake()
    {
        QMutexLocker locker(&m_mutex);
        m_changed.wakeAll();
    }

private:
    QMutex m_mutex;
    QWaitCondition m_changed;
    const qint64 m_capacity;
    qint64 m_used = 0;
};

class ExportJob::BudgetShare
{
public:
    BudgetShare(DocumentBudget &budget, qint64 amount) : m_budget(budget), m_amount(amount) {}
    ~BudgetShare() { m_budget.release(m_amount); }
    BudgetShare(const BudgetShare &) = delete;
    BudgetShare &operator=(const BudgetShare &) = delete;
    void shrinkTo(qint64 amount)
    {
        if (amount < m_amount) {
            m_budget.release(m_amount - amount);
            m_amount = amount;
        }
    }

private:
    DocumentBudget &m_budget;
    qint64 m_amount;
};

struct ExportJob::Outcome
{
    bool skipped = false;                // dropped after a stop, never written
    std::shared_ptr<BudgetShare> budget; // given back when the writer is done with the item
    ItemReport report;
    QStringList values;
    QString folderName;
    QString description;
    QString stockText;
    QStringList pictureUrls;
    QStringList ownFiles; // files this run made for the item, none there before
};

namespace {

// An item that can't have all its files gets no row, and the files the run made for it go;
// a file that was there before stays, as an earlier import file may name it.
void failWriting(ItemReport &report, const QStringList &files)
{
    report.status = ItemReport::Status::WriteFailed;
    report.reason = report.problems.value(0);
    for (const QString &file : files)
        QFile::remove(file);
}

} // namespace

ExportJob::ExportJob(Core::HttpClient &client, const Core::Config &config, ExportOptions options,
                     QStringList entries, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancelToken)), m_config(config),
      m_options(std::move(options)), m_entries(std::move(entries)),
      // Six documents of the largest size at once, whatever the number of jobs.
      m_budget(std::make_unique<DocumentBudget>(6 * m_client.options().maxBytes(Core::BodyKind::Page)))
{
}

void ExportJob::cancel()
{
    m_cancelToken.cancel();
    m_budget->wake();
}

void ExportJob::stopForFullDisk()
{
    m_diskFull = true;
    cancel();
}

ExportJob::~ExportJob() = default;

namespace {

QString itemProgress(int count, int index)
{
    return u"共"_s + QString::number(count) + u"件商品，正在下载第"_s + QString::number(index + 1) +
           u"件商品"_s;
}

QString localPictureReference(OutputType type, const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (type != OutputType::Taobao5)
        return native;
    return native.startsWith(u'/') ? u"FILE://"_s + native : u"FILE:///"_s + native;
}

} // namespace

struct ExportJob::PendingPicture
{
    QString url{};
    QString target{};
    bool description = false;
    bool requested = false;
    bool reused = false;      // an earlier run's file stands for the download
    QString address{};        // what is requested: the URL without its query
    bool downloading = false; // this item downloads the address, for every item that shows it
    QFuture<Core::HttpResult> reply{};
};

// The pictures of one item tell it here when they are ready to store: a download of its
// own has arrived (no FetchedPicture), or another item's download of the same address
// was published.
class ExportJob::Arrivals
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

bool ExportJob::stampsPicture(const PendingPicture &picture) const
{
    return picture.description && m_watermarker;
}

ExportJob::StoredOutcome ExportJob::writePicture(const StoredPicture &target, QByteArray bytes, bool stamp)
{
    StoredOutcome outcome;
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
            stopForFullDisk();
        outcome.reason = u"无法写入图片文件："_s + saved.reason;
        outcome.problem = saved.message;
        outcome.unstamped = false;
        return outcome;
    }
    outcome.type = target.type;
    outcome.path = target.path;
    return outcome;
}

ExportJob::StoredOutcome ExportJob::storePicture(const PendingPicture &picture,
                                                 const Core::HttpResult &result, const QString &folder,
                                                 FetchedPicture *fetched)
{
    StoredOutcome outcome;
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
    const bool stamp = stampsPicture(picture);
    outcome = writePicture(target, result.body, stamp);
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

std::optional<ExportJob::StoredOutcome>
ExportJob::copyPicture(const PendingPicture &picture, const FetchedPicture &fetched, const QString &folder)
{
    StoredOutcome outcome;
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
    const bool stamp = stampsPicture(picture);
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
    outcome = writePicture(target, bytes, stampHere);
    if (stamp && !stampHere)
        outcome.unstamped = !outcome.type.isEmpty() && fetched.unstamped;
    return outcome;
}

ExportJob::StoredOutcome ExportJob::reusablePicture(const PendingPicture &picture,
                                                    const QString &folder) const
{
    StoredOutcome outcome;
    const StoredPicture onDisk =
        findCompletePicture(picture.target, m_client.options().maxBytes(Core::BodyKind::Picture));
    if (onDisk.type.isEmpty() || !Core::isPathInside(folder, onDisk.path))
        return outcome;
    outcome.type = onDisk.type;
    outcome.path = onDisk.path;
    // Only what this run fetched is stamped, so no picture is stamped twice. The file is
    // reported as a fresh run would: unstamped when the size guard would turn it away.
    if (picture.description && m_watermarker)
        outcome.unstamped = Imaging::TooLargeForWatermark(onDisk.path);
    return outcome;
}

ExportJob::Outcome ExportJob::processItem(int index, const QString &entry)
{
    Outcome outcome;
    ItemReport &report = outcome.report;
    report.code = Market::itemCodeFromEntry(entry);
    const int count = m_uniqueCount;
    // After a stop nothing new begins.
    if (m_cancelToken.isCancelled()) {
        outcome.skipped = true;
        return outcome;
    }

    // An item whose record can't be read gets no row and leaves no file: a row of empty
    // values would become an empty listing.
    const auto recordFailed = [&](const QString &reason) {
        report.status = ItemReport::Status::RecordFailed;
        report.reason = reason;
        if (report.title.isEmpty())
            report.title = Market::itemNameFromEntry(entry); // the list's own name says which item it was
        outcome.skipped = m_cancelToken.isCancelled();
        qCInfo(lcExport) << "item" << report.code << "not exported:" << reason;
        return outcome;
    };

    if (!Market::isItemCode(report.code))
        return recordFailed(u"商品编号无效："_s + Core::removeControlCharacters(report.code));
    const qint64 largest = m_client.options().maxBytes(Core::BodyKind::Page);
    m_budget->acquire(largest, [this, index] { return index == m_writing || m_cancelToken.isCancelled(); });
    outcome.budget = std::make_shared<BudgetShare>(*m_budget, largest);
    QString problem;
    const Market::ItemDocument document =
        Market::ItemDocument::fetch(m_client, m_config, report.code, &problem);
    outcome.budget->shrinkTo(document.source().size());
    if (!problem.isEmpty()) {
        outcome.budget.reset();
        return recordFailed(problem);
    }
    const QString title = itemTitle(document.field(u"itemName"_s));
    report.title = title;
    const QString ownName = itemFolderName(title, report.code);
    if (ownName.isEmpty())
        return recordFailed(u"商品名称和编号都不能用作文件夹名"_s);
    outcome.folderName = m_folders->claim(ownName);
    const QString folder = m_paths.pictureFolder;
    const QString itemFolder = Core::programFilePath(folder, outcome.folderName);
    if (outcome.folderName.isEmpty())
        return recordFailed(u"图片文件夹的路径太长，放不下这件商品的文件夹"_s);
    if (!Core::isPathInside(folder, itemFolder))
        return recordFailed(u"商品名称和编号都不能用作文件夹名"_s);

    const QString city = m_cities->cityName(document.field(u"cityId"_s));
    const QString province = cleanProvinceName(m_cities->provinceName(document.field(u"provinceId"_s)));
    outcome.pictureUrls = mainPictureUrls(document);
    QString description =
        processDescription(document.field(u"detailInfo"_s), m_options.useRules ? &m_options.rules : nullptr);
    const QStringList descriptionUrls =
        m_options.skipDescriptionPictures
            ? QStringList()
            : extractDescriptionPictures(description,
                                         m_slots.mid(Market::MainSlot::descriptionPictureMarkers,
                                                     Market::MainSlot::descriptionPictureMarkerCount));

    // Every picture of the item is asked for at once; the network layer keeps to the
    // connection limit per host.
    QList<PendingPicture> pictures;
    for (const QString &url : std::as_const(outcome.pictureUrls)) {
        const QString digest = Core::Md5HexLower(url);
        const QString name = m_options.type == OutputType::Paipai ? QString(u'{' + digest + u"}.jpg"_s)
                                                                  : QString(digest + u".tbi"_s);
        pictures.append({.url = url, .target = Core::programFilePath(folder, name)});
    }
    if (!descriptionUrls.isEmpty() && !QDir().mkpath(itemFolder))
        report.problems << u"无法创建文件夹 "_s + QDir::toNativeSeparators(itemFolder);
    for (const QString &url : descriptionUrls) {
        pictures.append({.url = url,
                         .target = Core::programFilePath(itemFolder, Core::Md5Hex(url) + u".jpg"_s),
                         .description = true});
    }
    const int total = int(pictures.size());
    QList<StoredOutcome> stored(total);
    // Pictures are stored in the order they arrive, each as soon as it is there: a slow
    // first picture never keeps the bodies of the others waiting in memory.
    auto arrivals = std::make_shared<Arrivals>();
    const auto download = [&](int j) {
        PendingPicture &picture = pictures[j];
        picture.reply = m_client.getAsync({picture.address, Core::WaitMode::Long, Core::BodyKind::Picture});
        picture.reply.then(QtFuture::Launch::Sync,
                           [arrivals, j](const Core::HttpResult &) { arrivals->push(j, std::nullopt); });
    };
    int awaited = 0;
    for (int j = 0; j < total; ++j) {
        PendingPicture &picture = pictures[j];
        if (!Core::trimSpaces(picture.url).startsWith(u"http://"_s))
            continue;
        if (m_options.reusePictures) {
            stored[j] = reusablePicture(picture, folder);
            if (!stored[j].type.isEmpty()) {
                picture.reused = true;
                ++report.reusedPictures;
                continue;
            }
        }
        picture.requested = true;
        ++awaited;
        // A picture another item already asked for is not asked for again: that download
        // is shared, and this item stores its own copy of what it gave.
        picture.address = requestAddressOfPicture(Core::trimSpaces(picture.url));
        picture.downloading = m_shared->claim(
            picture.address, [arrivals, j](const FetchedPicture &fetched) { arrivals->push(j, fetched); });
        if (picture.downloading)
            download(j);
    }

    // The stock page is read while the pictures arrive.
    outcome.stockText = Market::BuildStockList(m_client, *m_stock, report.code, m_options.adjustments);

    for (int done = 0; done < awaited;) {
        // Only the item the writer waits for speaks, so the texts follow the list order.
        if (index == m_writing) {
            emit progress(itemProgress(count, m_writingPosition) + u"，共需下载"_s + QString::number(total) +
                          u"张图片，正在下载第"_s + QString::number(done + 1) + u"张"_s);
        }
        const auto [j, fetched] = arrivals->take();
        PendingPicture &picture = pictures[j];
        if (fetched) {
            const std::optional<StoredOutcome> copy = copyPicture(picture, *fetched, folder);
            if (!copy) {
                // Nothing on disk to copy from (the first download could not be written):
                // this item downloads the picture itself.
                picture.downloading = true;
                download(j);
                continue;
            }
            stored[j] = *copy;
            ++report.sharedPictures;
        } else {
            // The original future is finished before its continuation runs.
            const Core::HttpResult result = picture.reply.result();
            picture.reply = {};
            FetchedPicture published;
            stored[j] = storePicture(picture, result, folder, &published);
            m_shared->publish(picture.address, published);
        }
        ++done;
    }

    QStringList suffixes;
    QList<std::pair<QString, QString>> replacements; // URL, local reference
    for (int j = 0; j < total; ++j) {
        const PendingPicture &picture = pictures.at(j);
        const StoredOutcome &outcomeOfPicture = stored.at(j);
        if (picture.requested || picture.reused) {
            if (outcomeOfPicture.type.isEmpty()) {
                report.failedPictures << picture.url;
                report.failedPictureReasons << outcomeOfPicture.reason;
                qCInfo(lcExport) << "picture of" << report.code << "not stored:" << picture.url
                                 << outcomeOfPicture.reason;
            }
            if (outcomeOfPicture.unstamped)
                report.unstampedPictures << outcomeOfPicture.path;
            if (!outcomeOfPicture.problem.isEmpty())
                report.problems << outcomeOfPicture.problem;
        }
        if (!picture.description)
            suffixes << u'.' + outcomeOfPicture.type;
        else if (!outcomeOfPicture.type.isEmpty())
            replacements.append({picture.url, localPictureReference(m_options.type, outcomeOfPicture.path)});
        if (picture.description && outcomeOfPicture.created && !outcomeOfPicture.type.isEmpty())
            outcome.ownFiles << outcomeOfPicture.path;
    }

    // Longer URLs first, so a URL that is the beginning of another never breaks the longer one.
    std::stable_sort(replacements.begin(), replacements.end(),
                     [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    for (const auto &[url, local] : std::as_const(replacements))
        description.replace(url, local);

    if (m_options.stripLinks) {
        description = stripLinks(description, m_config.mallItemPrefix);
        description = stripLinks(description, m_config.marketplaceMarker);
    }

    ValueInputs inputs;
    inputs.title = title;
    inputs.provinceName = province;
    inputs.cityName = city;
    inputs.pictureUrls = outcome.pictureUrls;
    inputs.pictureSuffixes = suffixes;
    inputs.stockFile = stockFileName(report.code);
    outcome.values = paipaiValues(document, inputs, m_options.adjustments);
    // Control characters from the page never reach the listing tool's file.
    for (QString &value : outcome.values)
        value = Core::removeControlCharacters(value);
    for (QString &url : outcome.pictureUrls)
        url = Core::removeControlCharacters(url);
    outcome.description = Core::removeControlCharacters(description);

    report.status =
        report.failedPictures.isEmpty() ? ItemReport::Status::Written : ItemReport::Status::PicturesFailed;
    if (!report.problems.isEmpty())
        failWriting(report, outcome.ownFiles);
    // An item whose requests a stop broke off is never written half-fetched.
    outcome.skipped = m_cancelToken.isCancelled();
    return outcome;
}

ExportSummary ExportJob::run()
{
    ExportSummary summary;
    summary.itemCount = int(m_entries.size());
    summary.error = checkCsvPath(m_options.csvPath);
    if (!summary.error.isEmpty()) {
        emit finished(summary);
        return summary;
    }
    m_paths = deriveExportPaths(m_options.csvPath, m_options.programDir);
    summary.paths = m_paths;

    // Windows and the listing tools open no longer path: refused before anything is fetched.
    const bool pathLimit = windowsPathLimit();
    const qsizetype room = itemFolderRoom(QDir::toNativeSeparators(m_paths.pictureFolder).size(), pathLimit);
    if (pathLimit && room < 1) {
        summary.error = u"图片文件夹的路径太长，图片的路径会超过Windows允许的260个字符："_s +
                        QDir::toNativeSeparators(m_paths.pictureFolder);
        emit finished(summary);
        return summary;
    }
    m_folders = std::make_unique<ItemFolders>(caseBlindFileSystem(), room);
    m_shared = std::make_unique<SharedPictures>();

    // The file is written beside its target and renamed over it at the end, so a run
    // that dies leaves the previous file as it was.
    Core::FileSaver csv(m_paths.csvFile);
    QDir().mkpath(m_paths.csvFolder);
    // The file names pictures in this folder: without it the run would list what it can't store.
    if (!QDir().mkpath(m_paths.pictureFolder)) {
        summary.error = u"无法创建图片文件夹 "_s + QDir::toNativeSeparators(m_paths.pictureFolder);
        emit finished(summary);
        return summary;
    }
    if (!csv.open()) {
        summary.error =
            u"无法创建文件 "_s + QDir::toNativeSeparators(m_paths.csvFile) + u": "_s + csv.result().reason;
        emit finished(summary);
        return summary;
    }
    summary.started = true;
    QStringEncoder utf16(QStringConverter::Utf16LE);
    csv.write("\xFF\xFE");
    emit progress(u"开始下载商品内容..."_s);

    m_slots = m_options.parameterSlots;
    Market::loadParamPage(m_client, m_config, Market::ParamPage::Main, m_slots);
    while (m_slots.size() < Market::MainSlot::count)
        m_slots.append(QString());
    const QStringList markers = m_slots.mid(Market::MainSlot::descriptionPictureMarkers,
                                            Market::MainSlot::descriptionPictureMarkerCount);
    if (!m_options.skipDescriptionPictures &&
        std::all_of(markers.cbegin(), markers.cend(), [](const QString &m) { return m.isEmpty(); })) {
        summary.notes << u"无法读取参数页 copy36.htm：描述图片的标记为空，描述图片未下载"_s;
    }
    CityTable cities = CityTable::fetch(m_client, m_config);
    m_cities = &cities;
    const Market::StockParameters stock = Market::StockParameters::fetch(m_client, m_config);
    m_stock = &stock;
    if (!stock.loaded)
        summary.notes << u"无法读取库存参数页 ks_set.htm：库存文件只有空白模板"_s;
    Imaging::Watermarker watermarker;
    m_watermarker = nullptr;
    if (m_options.useWatermark) {
        QString error;
        if (m_options.watermarkSettings) {
            watermarker = Imaging::Watermarker(*m_options.watermarkSettings, m_options.watermarkPicture);
            error = watermarker.errorString();
        } else {
            watermarker = Imaging::Watermarker::fromProgramFolder(m_options.programDir, &error);
        }
        if (watermarker.isUsable())
            m_watermarker = &watermarker;
        else
            summary.notes << u"水印不可用，图片未加水印："_s + error;
    }

    // A code that comes again is exported once, at its first place: a second row would
    // be a second listing of the same item.
    const int entryCount = int(m_entries.size());
    QList<int> unique; // indexes into m_entries, in list order
    QList<ItemReport> reports(entryCount);
    {
        QSet<QString> seen;
        for (int i = 0; i < entryCount; ++i) {
            const QString code = Market::itemCodeFromEntry(m_entries.at(i));
            reports[i].code = code;
            if (seen.contains(code.toUpper())) {
                reports[i].status = ItemReport::Status::Duplicate;
                reports[i].title = Market::itemNameFromEntry(m_entries.at(i));
                ++summary.duplicates;
                continue;
            }
            seen.insert(code.toUpper());
            unique.append(i);
        }
    }
    const int count = int(unique.size());
    m_uniqueCount = count;

    csv.write(utf16.encode(headerText(m_options.type)));

    const int jobs = std::clamp(m_options.jobs, 1, maxJobs);
    QThreadPool pool;
    pool.setMaxThreadCount(jobs);
    QMutex mutex;
    QWaitCondition ready;
    std::map<int, Outcome> finishedItems;
    int submitted = 0;
    // Items finish out of order; a bounded window ahead of the writer keeps memory flat.
    const int window = jobs * 2;
    QSet<QString> descriptionNames;
    int reached = 0; // items of `unique` whose outcome was taken, written or failed

    for (int position = 0; position < count; ++position) {
        // After a stop nothing more is asked for; what finished before it is still written.
        while (!m_cancelToken.isCancelled() && submitted < count && submitted < position + window) {
            const int index = unique.at(submitted++);
            pool.start([this, index, &mutex, &ready, &finishedItems] {
                Outcome outcome = processItem(index, m_entries.at(index));
                QMutexLocker locker(&mutex);
                finishedItems.emplace(index, std::move(outcome));
                ready.wakeAll();
            });
        }
        if (position >= submitted)
            break;
        const int i = unique.at(position);
        m_writing = i;
        m_writingPosition = position;
        m_budget->wake();
        emit itemStarted(i);
        emit progress(itemProgress(count, position));
        Outcome outcome;
        {
            QMutexLocker locker(&mutex);
            while (finishedItems.find(i) == finishedItems.end())
                ready.wait(&mutex);
            auto node = finishedItems.extract(i);
            outcome = std::move(node.mapped());
        }
        if (outcome.skipped)
            break;
        ++reached;

        const auto noRow = [&] {
            if (outcome.report.status == ItemReport::Status::RecordFailed)
                ++summary.recordFailures;
            else
                summary.fileFailures += int(outcome.report.problems.size());
            summary.failedItemCodes << outcome.report.code;
            reports[i] = outcome.report;
            emit itemDone(i, outcome.report);
        };
        if (outcome.report.status == ItemReport::Status::RecordFailed ||
            outcome.report.status == ItemReport::Status::WriteFailed) {
            noRow();
            continue;
        }

        // Names are settled here, in list order: a later item whose description file
        // name an earlier one already took gets a name of its own.
        QString descriptionName = descriptionFileName(outcome.folderName);
        if (descriptionNames.contains(descriptionName))
            descriptionName = u'{' + Core::Md5HexLower(outcome.folderName + outcome.report.code) + u"}.htm"_s;
        descriptionNames.insert(descriptionName);
        outcome.values[PaipaiColumn::DescriptionFile] = descriptionName;
        const QString descriptionPath = Core::programFilePath(m_paths.pictureFolder, descriptionName);
        const auto note = [&](const Core::SaveResult &saved) {
            if (saved)
                return;
            outcome.report.problems << saved.message;
            if (saved.diskFull)
                stopForFullDisk();
        };
        const QString stockPath =
            Core::programFilePath(m_paths.pictureFolder, outcome.values[PaipaiColumn::StockFile]);
        for (const QString &path : {descriptionPath, stockPath}) {
            if (!QFileInfo::exists(path))
                outcome.ownFiles << path;
        }
        note(Core::saveFile(descriptionPath, Core::encodeAnsi(outcome.description) + "\r\n"));
        if (!outcome.stockText.isEmpty())
            note(writeUtf8File(Core::removeControlCharacters(outcome.stockText), stockPath, true));
        if (!outcome.report.problems.isEmpty()) {
            failWriting(outcome.report, outcome.ownFiles);
            noRow();
            continue;
        }

        QString row;
        if (m_options.type == OutputType::Paipai) {
            row = paipaiRow(outcome.values);
        } else {
            outcome.values[PaipaiColumn::Validity] = u"7"_s;
            const QDateTime now = m_options.clock ? m_options.clock() : QDateTime::currentDateTime();
            row = taobaoRow(m_options.type, outcome.values,
                            {outcome.description, outcome.pictureUrls, now.toString(u"yyyy-MM-dd hh:mm:ss"_s),
                             Core::removeControlCharacters(m_options.sellerName)});
        }
        if (!Core::isBlank(row)) {
            if (!csv.write(utf16.encode(row))) {
                // The import file can't be finished: nothing more is fetched for it.
                if (csv.result().diskFull)
                    stopForFullDisk();
                else
                    cancel();
            }
        }
        ++summary.rowsWritten;
        ++summary.written;
        if (outcome.report.status == ItemReport::Status::PicturesFailed)
            summary.failedItemCodes << outcome.report.code;
        summary.pictureFailures += int(outcome.report.failedPictures.size());
        summary.unstampedPictures += int(outcome.report.unstampedPictures.size());
        summary.reusedPictures += outcome.report.reusedPictures;
        summary.sharedPictures += outcome.report.sharedPictures;
        summary.fileFailures += int(outcome.report.problems.size());
        for (const QString &problem : std::as_const(outcome.report.problems))
            qCInfo(lcExport).noquote() << "item" << outcome.report.code << problem;
        if (!outcome.report.problems.isEmpty() && !summary.failedItemCodes.contains(outcome.report.code))
            summary.failedItemCodes << outcome.report.code;
        reports[i] = outcome.report;
        emit itemDone(i, outcome.report);
    }
    pool.waitForDone();
    finishedItems.clear();
    m_cities = nullptr;
    m_stock = nullptr;
    m_watermarker = nullptr;

    // A run a failure stopped was not stopped by the user, and says what stopped it.
    const bool stoppedByFailure = m_diskFull || csv.failed();
    summary.cancelled = reached < count && !stoppedByFailure;
    if (stoppedByFailure)
        summary.stopReason = m_diskFull ? u"磁盘空间不足，导出已停止"_s : u"写入导入文件失败，导出已停止"_s;
    for (const QString &note : std::as_const(summary.notes))
        qCInfo(lcExport).noquote() << note;
    summary.items = reports;
    const QString kept = QFileInfo::exists(m_paths.csvFile) ? u"，原有文件保持不变："_s : u"："_s;
    if (summary.written == 0) {
        // Nothing to list: a file of a header alone would replace a good one.
        csv.cancel();
        summary.error = (summary.cancelled ? u"已停止，没有写入任何商品，导入文件未写入"_s
                         : !stoppedByFailure ? u"没有读到任何商品的信息，导入文件未写入"_s
                                             : summary.stopReason + u"，没有写入任何商品，导入文件未写入"_s) +
                        kept + QDir::toNativeSeparators(m_paths.csvFile);
    } else if (const Core::SaveResult saved = csv.commit(); !saved) {
        // No row reached the disk: no item was written, whatever it had done before.
        summary.error =
            u"导入文件未写入（"_s + saved.reason + u"）"_s + kept + QDir::toNativeSeparators(m_paths.csvFile);
        for (ItemReport &report : summary.items) {
            if (report.status == ItemReport::Status::Written ||
                report.status == ItemReport::Status::PicturesFailed) {
                report.status = ItemReport::Status::WriteFailed;
                report.reason = u"导入文件未写入："_s + saved.reason;
            }
        }
        summary.written = 0;
        summary.rowsWritten = 0;
    }
    emit progress(summary.text());
    emit finished(summary);
    return summary;
}

} // namespace Export
