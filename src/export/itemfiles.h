#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace Export {

struct ItemReport;

// The description and stock files of the items, beside the import file in the picture
// folder. The writer calls it in list order, so names are settled in that order: a later
// item whose description file name an earlier one already took gets a name of its own.
class ItemFiles
{
public:
    // onDiskFull: called when a write finds the disk full.
    ItemFiles(QString pictureFolder, std::function<void()> onDiskFull);

    // Names the item's description file and sets its column among the values, then writes
    // the description and, when there is one, the stock file (the values name it). The files
    // this run creates are added to ownFiles. False: a file could not be written, and
    // report.problems says which.
    bool write(const QString &folderName, const QString &itemCode, QStringList &values,
               const QString &description, const QString &stockText, ItemReport &report,
               QStringList &ownFiles);

private:
    const QString m_pictureFolder;
    const std::function<void()> m_onDiskFull;
    QSet<QString> m_descriptionNames;
};

// An item that can't have all its files gets no row, and the files the run made for it go;
// a file that was there before stays, as an earlier import file may name it.
void failWriting(ItemReport &report, const QStringList &files);

} // namespace Export
