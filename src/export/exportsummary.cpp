#include "exportsummary.h"

#include "core/text.h"

#include <QDir>

#include <algorithm>

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

void countWrittenItem(ExportSummary &summary, const ItemReport &report)
{
    ++summary.rowsWritten;
    ++summary.written;
    if (report.status == ItemReport::Status::PicturesFailed)
        summary.failedItemCodes << report.code;
    summary.pictureFailures += int(report.failedPictures.size());
    summary.unstampedPictures += int(report.unstampedPictures.size());
    summary.reusedPictures += report.reusedPictures;
    summary.sharedPictures += report.sharedPictures;
    summary.fileFailures += int(report.problems.size());
    if (!report.problems.isEmpty() && !summary.failedItemCodes.contains(report.code))
        summary.failedItemCodes << report.code;
}

void countItemWithoutRow(ExportSummary &summary, const ItemReport &report)
{
    if (report.status == ItemReport::Status::RecordFailed)
        ++summary.recordFailures;
    else
        summary.fileFailures += int(report.problems.size());
    summary.failedItemCodes << report.code;
}

} // namespace Export
