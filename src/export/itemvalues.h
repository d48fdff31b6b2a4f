#pragma once

#include "description.h"
#include "layouts.h"

#include "core/adjustments.h"

#include <QString>
#include <QStringList>

#include <utility>

namespace Market {
class ItemDocument;
}

namespace Export {

// The title as every layout writes it: entities decoded, cleaned, "·" removed.
QString itemTitle(const QString &itemName);
// The picture folder's sub-folder of an item: the title cut to 58 characters without
// path characters or spaces, made safe as a folder name; the item code, cleaned the same
// way, when nothing is left; empty when neither gives a usable name.
QString itemFolderName(const QString &title, const QString &itemCode);
// The province as the layouts write it: quotes and "省" removed.
QString cleanProvinceName(const QString &provinceName);
// picLink, picLink1 ... picLink4 with entities decoded, the blank ones left out, split at ";".
QStringList mainPictureUrls(const Market::ItemDocument &document);

QString descriptionFileName(const QString &folderName);
QString stockFileName(const QString &itemCode);

// What the value list is made of besides the record itself.
struct ValueInputs
{
    QString title;
    QString provinceName;
    QString cityName;
    QStringList pictureUrls;
    QStringList pictureSuffixes; // "." + the stored type, per URL
    QString descriptionFile;
    QString stockFile;
};

// The 45 values of the Paipai layout (validity "14"); the Taobao rows read theirs from it.
QStringList paipaiValues(const Market::ItemDocument &document, const ValueInputs &inputs,
                         const Core::Adjustments &adjustments);

// How a description refers to a picture stored for it: the native path, behind "FILE:///"
// in the 5.x layout.
QString localPictureReference(OutputType type, const QString &path);

// The description as the import file carries it: each stored picture's URL replaced by its
// local file (longer URLs first, so a URL that begins another never breaks the longer one),
// then the links behind each of linkMarkers stripped.
QString localizeDescription(QString description, QList<std::pair<QString, QString>> storedPictures,
                            OutputType type, const QStringList &linkMarkers);

// What the layouts write of an item: its values, its description and its main pictures'
// URLs, with every control character from the page removed.
struct ItemContent
{
    QStringList values;
    QString description;
    QStringList pictureUrls;
};
ItemContent composeItemContent(const Market::ItemDocument &document, const ValueInputs &inputs,
                               const QString &description, const Core::Adjustments &adjustments);

} // namespace Export
