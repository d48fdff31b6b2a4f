// Collection speed against quorvex-sandbox: a shop of many listing pages at a given
// latency, beside the bound that latency and the connection limit set (pages ÷
// connections × latency) and, on request, beside the page-by-page walk.

#include "core/config.h"
#include "core/httpclient.h"
#include "market/collection.h"
#include "sandboxprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Walk
{
    Market::CollectOutcome outcome;
    double seconds = 0;
    int requests = 0;
    int peakConnections = 0;
};

Walk collect(TestSupport::SandboxProcess &sandbox, const Core::Config &config, const QString &address,
             int pagesInFlight)
{
    sandbox.reset();
    Walk walk;
    QElapsedTimer timer;
    timer.start();
    {
        Core::HttpClient client(Core::HttpOptions::fromConfig(config));
        Market::Collector collector(client, config);
        collector.setPagesInFlight(pagesInFlight);
        walk.outcome = collector.run(Market::CollectMode::Shop, address);
    }
    walk.seconds = timer.elapsed() / 1000.0;
    walk.requests = sandbox.counts().value(u"total"_s).toInt();
    walk.peakConnections = sandbox.peak().value(u"peakPerHost"_s).toObject().value(config.shop).toInt();
    return walk;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({u"shop"_s, u"Shop number (4000: 200 pages, 4001: 500 pages)."_s, u"N"_s, u"4000"_s});
    parser.addOption({u"latency"_s, u"Latency of every answer in ms."_s, u"MS"_s, u"100"_s});
    parser.addOption({u"connections"_s, u"Connections per host."_s, u"N"_s, u"6"_s});
    parser.addOption({u"page-by-page"_s, u"Also walk the pages one after another, for comparison."_s});
    parser.process(app);
    const int latency = parser.value(u"latency"_s).toInt();
    QTextStream out(stdout);

    TestSupport::SandboxProcess sandbox({u"--latency"_s, QString::number(latency)});
    if (!sandbox.isRunning()) {
        out << "quorvex-sandbox did not start\n";
        return 1;
    }
    Core::Config config;
    config.proxy = sandbox.proxyUrl();
    config.maxConnectionsPerHost = parser.value(u"connections"_s).toInt();
    const QString address = u"http://"_s + config.shop + u'/' + parser.value(u"shop"_s);

    const Walk together = collect(sandbox, config, address, 0);
    const int items = int(together.outcome.entries.size());
    const int pages = int(std::ceil(items / 40.0));
    const int connections = config.maxConnectionsPerHost;
    const double bound = double(pages) / connections * latency / 1000.0;

    out << "shop                 " << address << ": " << items << " items, " << pages << " listing pages"
        << (together.outcome.failedPages > 0 ? u" (%1 failed)"_s.arg(together.outcome.failedPages)
                                             : QString())
        << "\n";
    out << "latency              " << latency << " ms, " << connections << " connections per host\n";
    out << "time                 " << QString::number(together.seconds, 'f', 2) << " s, "
        << QString::number(pages / together.seconds, 'f', 1) << " pages/s, " << together.requests
        << " requests\n";
    out << "bound                " << QString::number(bound, 'f', 2)
        << " s (pages / connections x latency), ratio " << QString::number(together.seconds / bound, 'f', 2)
        << "\n";
    out << "peak connections     " << together.peakConnections << " to " << config.shop << "\n";
    if (parser.isSet(u"page-by-page"_s)) {
        const Walk oneByOne = collect(sandbox, config, address, 1);
        out << "page by page         " << QString::number(oneByOne.seconds, 'f', 2) << " s, speed-up "
            << QString::number(oneByOne.seconds / together.seconds, 'f', 1)
            << "x, same entries: " << (oneByOne.outcome.entries == together.outcome.entries ? "yes" : "NO")
            << "\n";
    }
    out.flush();
    return together.outcome.finished && items > 0 ? 0 : 1;
}
