#include "exportjob.h"

#include "documentbudget.h"
#include "itemfiles.h"
#include "itemfolders.h"
#include "itempictures.h"
#include "itemrecord.h"
#include "itemrow.h"
#include "itemvalues.h"
#include "pictures.h"
#include "runresources.h"
#include "sharedpictures.h"

#include "core/logging.h"
#include "core/savefile.h"
#include "core/text.h"
#include "market/itemlist.h"
#include "market/stocklist.h"

#include <QDir>
#include <QMutex>
#include <QSet>
#include <QStringEncoder>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace Export {

namespace {

QString itemProgress(int count, int index)
{
    return u"共"_s + QString::number(count) + u"件商品，正在下载第"_s + QString::number(index + 1) +
           u"件商品"_s;
}

// A code that comes again is exported once, at its first place: a second row would be a
// second listing of the same item. The indexes of the first places, in list order; the
// later places are reported as duplicates.
QList<int> firstPlaces(const QStringList &entries, QList<ItemReport> &reports, ExportSummary &summary)
{
    QList<int> unique;
    QSet<QString> seen;
    for (int i = 0; i < int(entries.size()); ++i) {
        const QString code = Market::itemCodeFromEntry(entries.at(i));
        reports[i].code = code;
        if (seen.contains(code.toUpper())) {
            reports[i].status = ItemReport::Status::Duplicate;
            reports[i].title = Market::itemNameFromEntry(entries.at(i));
            ++summary.duplicates;
            continue;
        }
        seen.insert(code.toUpper());
        unique.append(i);
    }
    return unique;
}

} // namespace

// What a worker hands the writer for one item.
struct ExportJob::Outcome
{
    bool skipped = false;                // dropped after a stop, never written
    std::shared_ptr<BudgetShare> budget; // given back when the writer is done with the item
    ItemReport report;
    QString folderName;
    ItemContent content;
    QString stockText;
    QStringList ownFiles; // files this run made for the item, none there before
};

ExportJob::ExportJob(Core::HttpClient &client, const Core::Config &config, ExportOptions options,
                     QStringList entries, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancelToken)), m_config(config),
      m_options(std::move(options)), m_entries(std::move(entries)),
      // Six documents of the largest size at once, whatever the number of jobs.
      m_budget(std::make_unique<DocumentBudget>(6 * m_client.options().maxBytes(Core::BodyKind::Page)))
{
}

ExportJob::~ExportJob() = default;

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

ExportJob::Outcome ExportJob::processItem(int index, const QString &entry)
{
    Outcome outcome;
    ItemReport &report = outcome.report;
    report.code = Market::itemCodeFromEntry(entry);
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

    // The record.
    const qint64 largest = m_client.options().maxBytes(Core::BodyKind::Page);
    m_budget->acquire(largest, [this, index] { return index == m_writing || m_cancelToken.isCancelled(); });
    outcome.budget = std::make_shared<BudgetShare>(*m_budget, largest);
    const ItemRecord record =
        readItemRecord(m_client, m_config, report.code, m_paths.pictureFolder, *m_folders);
    outcome.budget->shrinkTo(record.document.source().size());
    if (!record.read)
        outcome.budget.reset();
    report.title = record.title;
    if (!record.failure.isEmpty())
        return recordFailed(record.failure);
    outcome.folderName = record.folderName;

    // Its pictures, and its stock page while they arrive.
    const Market::ItemDocument &document = record.document;
    const QStringList mainUrls = mainPictureUrls(document);
    const QString description =
        processDescription(document.field(u"detailInfo"_s), m_options.useRules ? &m_options.rules : nullptr);
    const QStringList descriptionUrls =
        m_options.skipDescriptionPictures
            ? QStringList()
            : extractDescriptionPictures(description, m_resources->descriptionPictureMarkers());
    if (!descriptionUrls.isEmpty() && !QDir().mkpath(record.folder))
        report.problems << u"无法创建文件夹 "_s + QDir::toNativeSeparators(record.folder);
    const auto batch = m_pictures->begin(
        pictureTargets(m_options.type, m_paths.pictureFolder, record.folder, mainUrls, descriptionUrls),
        m_paths.pictureFolder);
    outcome.stockText =
        Market::BuildStockList(m_client, m_resources->stock, report.code, m_options.adjustments);
    const ItemPictures pictures = batch->collect([&](int done, int total) {
        // Only the item the writer waits for speaks, so the texts follow the list order.
        if (index == m_writing) {
            emit progress(itemProgress(m_uniqueCount, m_writingPosition) + u"，共需下载"_s +
                          QString::number(total) + u"张图片，正在下载第"_s + QString::number(done + 1) +
                          u"张"_s);
        }
    });
    pictures.addTo(report);
    outcome.ownFiles = pictures.createdDescriptionFiles();

    // Its values.
    QStringList linkMarkers;
    if (m_options.stripLinks)
        linkMarkers = {m_config.mallItemPrefix, m_config.marketplaceMarker};
    ValueInputs inputs;
    inputs.title = record.title;
    inputs.provinceName =
        cleanProvinceName(m_resources->cities.provinceName(document.field(u"provinceId"_s)));
    inputs.cityName = m_resources->cities.cityName(document.field(u"cityId"_s));
    inputs.pictureUrls = mainUrls;
    inputs.pictureSuffixes = pictures.mainPictureSuffixes();
    inputs.stockFile = stockFileName(report.code);
    outcome.content = composeItemContent(
        document, inputs,
        localizeDescription(description, pictures.storedDescriptionPictures(), m_options.type, linkMarkers),
        m_options.adjustments);

    report.status =
        report.failedPictures.isEmpty() ? ItemReport::Status::Written : ItemReport::Status::PicturesFailed;
    if (!report.problems.isEmpty())
        failWriting(report, outcome.ownFiles);
    // An item whose requests a stop broke off is never written half-fetched.
    outcome.skipped = m_cancelToken.isCancelled();
    return outcome;
}

QString ExportJob::writeItem(Outcome &outcome, ItemFiles &files, ExportSummary &summary)
{
    ItemReport &report = outcome.report;
    if (report.status == ItemReport::Status::RecordFailed ||
        report.status == ItemReport::Status::WriteFailed) {
        countItemWithoutRow(summary, report);
        return {};
    }
    if (!files.write(outcome.folderName, report.code, outcome.content.values, outcome.content.description,
                     outcome.stockText, report, outcome.ownFiles)) {
        failWriting(report, outcome.ownFiles);
        countItemWithoutRow(summary, report);
        return {};
    }
    const QDateTime now = m_options.clock ? m_options.clock() : QDateTime::currentDateTime();
    const QString row = importRow(m_options.type, outcome.content.values, outcome.content.description,
                                  outcome.content.pictureUrls, now, m_options.sellerName);
    countWrittenItem(summary, report);
    for (const QString &problem : std::as_const(report.problems))
        qCInfo(lcExport).noquote() << "item" << report.code << problem;
    return row;
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

    const RunResources resources = RunResources::fetch(m_client, m_config, m_options);
    m_resources = &resources;
    summary.notes << resources.notes;
    m_shared = std::make_unique<SharedPictures>();
    m_pictures = std::make_unique<PictureStore>(m_client, *m_shared,
                                                resources.watermarker ? &*resources.watermarker : nullptr,
                                                m_options.reusePictures, [this] { stopForFullDisk(); });
    ItemFiles files(m_paths.pictureFolder, [this] { stopForFullDisk(); });

    QList<ItemReport> reports(m_entries.size());
    const QList<int> unique = firstPlaces(m_entries, reports, summary);
    const int count = int(unique.size());
    m_uniqueCount = count;

    csv.write(utf16.encode(headerText(m_options.type)));

    // Items are read on the pool and written here, strictly in list order.
    const int jobs = std::clamp(m_options.jobs, 1, maxJobs);
    QThreadPool pool;
    pool.setMaxThreadCount(jobs);
    QMutex mutex;
    QWaitCondition ready;
    std::map<int, Outcome> finishedItems;
    int submitted = 0;
    // Items finish out of order; a bounded window ahead of the writer keeps memory flat.
    const int window = jobs * 2;
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
        const QString row = writeItem(outcome, files, summary);
        if (!Core::isBlank(row) && !csv.write(utf16.encode(row))) {
            // The import file can't be finished: nothing more is fetched for it.
            if (csv.result().diskFull)
                stopForFullDisk();
            else
                cancel();
        }
        reports[i] = outcome.report;
        emit itemDone(i, outcome.report);
    }
    pool.waitForDone();
    finishedItems.clear();
    m_pictures.reset();
    m_resources = nullptr;

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
