#include "startupjob.h"

#include "pictures.h"

#include "core/httpclient.h"
#include "core/logging.h"
#include "core/text.h"
#include "market/parameterslots.h"
#include "market/parampages.h"

#include <QDir>
#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace Export {

QString leftoverUpdateCopyName()
{
#ifdef Q_OS_WIN
    return u"bak.exe"_s;
#else
    return u"bak"_s;
#endif
}

StartupJob::StartupJob(const Core::HttpClient &client, Core::Config config, QString programDir,
                       QStringList designSlots, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(std::move(config)),
      m_programDir(std::move(programDir)), m_designSlots(std::move(designSlots))
{
}

StartupResult StartupJob::run()
{
    StartupResult result;
    result.parameterSlots = m_designSlots;
    result.applicationTable = QStringList(Market::applicationSlotCount);
    readParameterPages(result);
    if (!m_cancel.isCancelled())
        fetchDefaultPictures(result);
    if (!m_cancel.isCancelled())
        removeLeftoverCopy(result);
    result.cancelled = m_cancel.isCancelled();
    emit finished(result);
    return result;
}

void StartupJob::cancel()
{
    m_cancel.cancel();
}

void StartupJob::fail(StartupResult &result, const QString &text)
{
    qCInfo(lcStartup).noquote() << text;
    result.failures << text;
}

void StartupJob::readParameterPages(StartupResult &result)
{
    QStringList slotTexts = m_designSlots;
    result.parametersRead = Market::loadParamPage(m_client, m_config, Market::ParamPage::Main, slotTexts);
    if (!result.parametersRead) {
        // Without the main page the application page is not asked for either.
        fail(result, u"无法读取参数页 copy36.htm，参数保持设计值"_s);
        return;
    }
    result.parameterSlots = slotTexts;
    if (m_cancel.isCancelled())
        return;
    QStringList table(Market::applicationSlotCount);
    result.applicationRead = Market::loadParamPage(m_client, m_config, Market::ParamPage::App, table);
    if (result.applicationRead)
        result.applicationTable = table;
    else
        fail(result, u"无法读取参数页 copy_app35.htm"_s);
}

void StartupJob::fetchDefaultPictures(StartupResult &result)
{
    for (const QString &name : {u"sy_pic1.jpg"_s, u"sy_pic2.jpg"_s}) {
        if (m_cancel.isCancelled())
            return;
        const QString target = Core::programFilePath(m_programDir, name);
        if (Core::FileExists(target))
            continue;
        const QString address = Core::Config::address(m_config.makerPrimary, u"/soft/venlo/"_s + name);
        QString stored;
        if (downloadPicture(m_client, address, target, &stored).isEmpty()) {
            fail(result, u"无法下载默认水印图片 "_s + address);
            continue;
        }
        // The download names the file after its type ("sy_pic1.JPG"); where names are
        // case-sensitive the watermark code would never find it under its own name.
        if (stored != target && stored.compare(target, Qt::CaseInsensitive) == 0) {
            if (!QFile::rename(stored, target)) {
                fail(result, u"无法把 "_s + QDir::toNativeSeparators(stored) + u" 改名为 "_s + name);
                continue;
            }
        }
        result.picturesFetched << name;
    }
}

void StartupJob::removeLeftoverCopy(StartupResult &result)
{
    const QString leftover = Core::programFilePath(m_programDir, leftoverUpdateCopyName());
    if (!QFile::exists(leftover))
        return;
    QFile file(leftover);
    if (file.remove())
        result.leftoverRemoved = true;
    else
        fail(result, u"无法删除 "_s + QDir::toNativeSeparators(leftover) + u"："_s + file.errorString());
}

} // namespace Export
