#pragma once

#include "market/itemservice.h"

#include <QString>

namespace Core {
class HttpClient;
struct Config;
} // namespace Core

namespace Export {

class ItemFolders;

// The first stage of an item: its record from the item service, the title every layout
// writes, and the sub-folder of the picture folder that takes its description pictures.
struct ItemRecord
{
    Market::ItemDocument document;
    bool read = false; // the service gave a usable record
    QString title;
    QString folderName; // the item's own sub-folder, claimed for it among the run's items
    QString folder;     // its path
    QString failure;    // why the item can't be exported; empty when it can
};

// The code must be an item code (Market::isItemCode).
ItemRecord readItemRecord(Core::HttpClient &client, const Core::Config &config, const QString &itemCode,
                          const QString &pictureFolder, ItemFolders &folders);

} // namespace Export
