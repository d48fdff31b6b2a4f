#include "itemfiles.h"

#include "exportsummary.h"
#include "itemvalues.h"
#include "layouts.h"
#include "pictures.h"

#include "core/savefile.h"
#include "core/text.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace Export {

ItemFiles::ItemFiles(QString pictureFolder, std::function<void()> onDiskFull)
    : m_pictureFolder(std::move(pictureFolder)), m_onDiskFull(std::move(onDiskFull))
{
}

bool ItemFiles::write(const QString &folderName, const QString &itemCode, QStringList &values,
                      const QString &description, const QString &stockText, ItemReport &report,
                      QStringList &ownFiles)
{
    QString descriptionName = descriptionFileName(folderName);
    if (m_descriptionNames.contains(descriptionName))
        descriptionName = u'{' + Core::Md5HexLower(folderName + itemCode) + u"}.htm"_s;
    m_descriptionNames.insert(descriptionName);
    values[PaipaiColumn::DescriptionFile] = descriptionName;

    const QString descriptionPath = Core::programFilePath(m_pictureFolder, descriptionName);
    const QString stockPath = Core::programFilePath(m_pictureFolder, values[PaipaiColumn::StockFile]);
    for (const QString &path : {descriptionPath, stockPath}) {
        if (!QFileInfo::exists(path))
            ownFiles << path;
    }
    const auto note = [&](const Core::SaveResult &saved) {
        if (saved)
            return;
        report.problems << saved.message;
        if (saved.diskFull)
            m_onDiskFull();
    };
    note(Core::saveFile(descriptionPath, Core::encodeAnsi(description) + "\r\n"));
    if (!stockText.isEmpty())
        note(writeUtf8File(Core::removeControlCharacters(stockText), stockPath, true));
    return report.problems.isEmpty();
}

void failWriting(ItemReport &report, const QStringList &files)
{
    report.status = ItemReport::Status::WriteFailed;
    report.reason = report.problems.value(0);
    for (const QString &file : files)
        QFile::remove(file);
}

} // namespace Export
