#include "gateway.h"
#include "itemcatalog.h"
#include "options.h"
#include "picturestore.h"
#include "router.h"
#include "server.h"
#include "shoppages.h"
#include "staticfiles.h"
#include "stockpages.h"
#include "updatefiles.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;
using namespace Sandbox;

namespace {

int failWith(const QString &message, int exitCode)
{
    std::fprintf(stderr, "quorvex-sandbox: %s\n", message.toUtf8().constData());
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"quorvex-sandbox"_s);

    Options options;
    switch (options.parse(QCoreApplication::arguments())) {
    case Options::Outcome::ShowHelp:
        std::fputs(Options::usage().toUtf8().constData(), stdout);
        return 0;
    case Options::Outcome::Invalid:
        std::fputs(Options::usage().toUtf8().constData(), stderr);
        return failWith(options.error(), 2);
    case Options::Outcome::Run:
        break;
    }

    const QDir data(options.dataDir());
    if (!data.exists())
        return failWith(u"data folder "_s + options.dataDir() + u" does not exist"_s, 1);

    QString error;
    ItemCatalog items(options.seed(), options.shopItems(), options.sharedPictures());
    if (!items.loadSamples(data.filePath(u"items.json"_s), &error) ||
        !items.loadHostile(data.filePath(u"hostile-items.json"_s), &error))
        return failWith(error, 1);
    ShopPages shops;
    if (!shops.load(data.filePath(u"shops.json"_s), data.filePath(u"sample-list.txt"_s), items, &error))
        return failWith(error, 1);
    // The shops' generated items are served like the command line's shop.
    for (const GeneratedShop &shop : shops.generatedShops())
        items.addShop(shop);
    StockPages stock;
    if (!stock.load(data.filePath(u"stock.json"_s), items, &error))
        return failWith(error, 1);
    StaticFiles files;
    if (!files.load(data.filePath(u"www"_s), &error))
        return failWith(error, 1);
    PictureStore pictures;
    if (!pictures.load(data.filePath(u"pictures.json"_s), &error))
        return failWith(error, 1);
    if (options.shopItems() > 0)
        pictures.preparePool();

    if (!options.writeListFile().isEmpty() &&
        !items.writeList(options.writeListFile(), data.filePath(u"sample-list.txt"_s), &error))
        return failWith(error, 1);

    Gateway gateway;
    if (!gateway.load(data.filePath(u"www/soft/venlo/copy36.htm"_s),
                      data.filePath(u"www/soft/venlo/f_1sp.htm"_s), data.filePath(u"sellers.json"_s), &error))
        return failWith(error, 1);

    Router router(items, pictures, files, stock, shops);
    router.setGateway(&gateway);
    UpdateFiles updateFiles;
    updateFiles.setPublishedVersion(options.publishedVersion());
    updateFiles.setDownloadDir(options.downloadsDir());
    router.setUpdateFiles(&updateFiles);
    Server server(router, options.latencyMs(), options.faults(), options.quiet());
    if (!server.listen(options.port(), &error))
        return failWith(u"cannot listen on 127.0.0.1:"_s + QString::number(options.port()) + u": "_s + error,
                        1);

    // Test harnesses wait for exactly this line to learn the port.
    std::printf("quorvex-sandbox listening on 127.0.0.1:%u\n", unsigned(server.port()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
