#include "itemrecord.h"

#include "itemfolders.h"
#include "itemvalues.h"

#include "core/text.h"

using namespace Qt::Literals::StringLiterals;

namespace Export {

ItemRecord readItemRecord(Core::HttpClient &client, const Core::Config &config, const QString &itemCode,
                          const QString &pictureFolder, ItemFolders &folders)
{
    ItemRecord record;
    record.document = Market::ItemDocument::fetch(client, config, itemCode, &record.failure);
    if (!record.failure.isEmpty())
        return record;
    record.read = true;
    record.title = itemTitle(record.document.field(u"itemName"_s));
    const QString ownName = itemFolderName(record.title, itemCode);
    if (ownName.isEmpty()) {
        record.failure = u"商品名称和编号都不能用作文件夹名"_s;
        return record;
    }
    record.folderName = folders.claim(ownName);
    record.folder = Core::programFilePath(pictureFolder, record.folderName);
    if (record.folderName.isEmpty())
        record.failure = u"图片文件夹的路径太长，放不下这件商品的文件夹"_s;
    else if (!Core::isPathInside(pictureFolder, record.folder))
        record.failure = u"商品名称和编号都不能用作文件夹名"_s;
    return record;
}

} // namespace Export
