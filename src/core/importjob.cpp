#include "importjob.h"

#include "httpclient.h"
#include "itemlist.h"
#include "text.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace Core {

namespace {

bool isEntryLine(const QString &line)
{
    return trimSpaces(line).startsWith(u"网址ID:"_s);
}

QString progressText(int done, int total)
{
    return u"正在导入网址，共"_s + QString::number(total) + u"个，已导入"_s + QString::number(done) + u"个"_s;
}

} // namespace

ImportFile readImportFile(const QByteArray &bytes)
{
    ImportFile file;
    const QString text = decodeTextFile(bytes);
    const QStringList lines = text.split(QRegularExpression(u"\r\n|\n|\r"_s));
    const auto take = [&file](const QString &item) {
        if (file.items.size() < maxImportedAddresses)
            file.items << item;
        else
            ++file.dropped;
    };
    for (const QString &line : lines) {
        if (isEntryLine(line)) {
            const qsizetype before = file.items.size();
            take(trimSpaces(line));
            file.entryLines += int(file.items.size() - before);
            continue;
        }
        const QStringList addresses = readItemAddresses(line);
        if (addresses.isEmpty() && !line.trimmed().isEmpty())
            ++file.ignoredLines;
        for (const QString &address : addresses)
            take(address);
    }
    return file;
}

QString ImportOutcome::text() const
{
    if (!error.isEmpty())
        return error;
    if (cancelled) {
        return u"导入已停止，已导入"_s + QString::number(imported) + u"/"_s + QString::number(total)
            + u"个网址"_s;
    }
    QString result = u"导入完成，共读取"_s + QString::number(total) + u"个网址"_s;
    if (entryLines > 0)
        result += u"（其中"_s + QString::number(entryLines) + u"个为商品列表项）"_s;
    result += u"，忽略"_s + QString::number(ignoredLines) + u"行"_s;
    if (dropped > 0) {
        result += u"；超过"_s + QString::number(maxImportedAddresses) + u"个，另有"_s + QString::number(dropped)
            + u"个未导入"_s;
    }
    return result;
}

ImportJob::ImportJob(const HttpClient &client, Config config, QString path, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(std::move(config)), m_path(std::move(path))
{
}

ImportOutcome ImportJob::run()
{
    ImportOutcome outcome;
    QFile source(m_path);
    if (!source.open(QIODevice::ReadOnly)) {
        outcome.error = u"无法读取文件 "_s + QDir::toNativeSeparators(m_path) + u"："_s + source.errorString();
        emit finished(outcome);
        return outcome;
    }
    const ImportFile file = readImportFile(source.readAll());
    source.close();
    outcome.total = int(file.items.size());
    outcome.entryLines = file.entryLines;
    outcome.ignoredLines = file.ignoredLines;
    outcome.dropped = file.dropped;
    emit progress(progressText(0, outcome.total));

    const auto hand = [this, &outcome](const QString &entry) {
        // A lookup the stop cut short would come back without its name.
        if (m_cancelled)
            return;
        ++outcome.imported;
        emit entryFound(entry);
        emit progress(progressText(outcome.imported, outcome.total));
    };
    // Runs of addresses are looked up together, a few names at a time; entries go as they are.
    QStringList addresses;
    const auto lookUp = [&] {
        if (!addresses.isEmpty() && !m_cancelled)
            lookUpItemEntries(m_client, m_config, addresses, hand, &m_cancelled);
        addresses.clear();
    };
    for (const QString &item : file.items) {
        if (m_cancelled)
            break;
        if (item.startsWith(u"http://"_s)) {
            addresses << item;
            continue;
        }
        lookUp();
        if (!m_cancelled)
            hand(item);
    }
    lookUp();
    outcome.cancelled = m_cancelled && outcome.imported < outcome.total;
    emit finished(outcome);
    return outcome;
}

void ImportJob::cancel()
{
    m_cancelled = true;
    m_cancel.cancel();
}

} // namespace Core
