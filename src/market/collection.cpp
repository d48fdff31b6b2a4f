#include "collection.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/logging.h"
#include "core/text.h"
#include "itemlist.h"
#include "itemservice.h"
#include "parampages.h"

#include <QDir>
#include <QFileInfo>
#include <QSemaphore>

#include <cmath>
#include <deque>

using namespace Qt::Literals::StringLiterals;

namespace Market {

QString collectModeText(CollectMode mode)
{
    switch (mode) {
    case CollectMode::Single:
        return u"单件商品"_s;
    case CollectMode::Shop:
        return u"整个店铺"_s;
    case CollectMode::List:
        break;
    }
    return u"商品列表"_s;
}

CollectMode collectModeFromText(const QString &text)
{
    if (text == u"单件商品"_s)
        return CollectMode::Single;
    if (text == u"整个店铺"_s)
        return CollectMode::Shop;
    return CollectMode::List;
}

QString collectModeHint(CollectMode mode)
{
    switch (mode) {
    case CollectMode::Single:
        return u"输入商品网址，http://开头"_s;
    case CollectMode::Shop:
        return u"输入店铺首页网址"_s;
    case CollectMode::List:
        break;
    }
    return u"输入商品列表网址，http://开头"_s;
}

QString cleanCollectAddress(const QString &address)
{
    QString text = address;
    text.remove(u' ');
    return Core::CleanField(text);
}

ShopAddress parseShopAddress(const Core::Config &config, const QString &address)
{
    ShopAddress shop;
    shop.rest = address;
    if (address.contains(config.paipaiDomain)) {
        shop.rest.remove(Core::Config::address(config.shop, u"/"_s));
        shop.kind = 1;
    } else {
        shop.rest.remove(Core::Config::address(config.shop2, u"/"_s));
        shop.kind = 2;
    }
    qsizetype end = shop.rest.indexOf(u'/');
    if (end < 0)
        end = shop.rest.indexOf(u'?');
    if (end < 0)
        end = shop.rest.indexOf(u'&');
    shop.shopNumber = end < 0 ? shop.rest : shop.rest.left(end);
    return shop;
}

ListAddress parseListAddress(const Core::Config &config, const QString &address)
{
    ListAddress list;
    list.shop = parseShopAddress(config, address);
    QString s = list.shop.rest;
    qsizetype dash = s.indexOf(u'-');
    if (dash >= 0) {
        s = s.mid(dash + 1);
        dash = s.indexOf(u'-');
        if (dash >= 0)
            list.category = s.left(dash);
    }
    qsizetype slash = s.indexOf(u'/');
    if (slash >= 0) {
        s = s.mid(slash + 1);
        slash = s.indexOf(u'/');
        if (slash >= 0)
            list.key = s.left(slash);
    }
    return list;
}

QString singleItemCode(const QString &address)
{
    const qsizetype query = address.lastIndexOf(u'?');
    return itemCodeFromAddress(query >= 0 ? address.left(query) : address);
}

qint64 listingPageCount(const QString &countText)
{
    const QString count = Core::CleanField(countText);
    if (!Core::isNumeric(count))
        return 0;
    const double n = std::floor(Core::trimSpaces(count).toDouble());
    if (!(n > 0))
        return 0;
    return qint64(std::min(std::ceil(n / 40), 1e15));
}

namespace {

// What one entry of a listing page copies out of it. Codes and names are cut from spans that
// may reach far into the page (to the next end marker anywhere after the item): without a
// bound, a page full of start markers would make every entry hold the rest of the page.
// An item code has at most 64 characters, so a longer span holds none (unless blanks pad
// it); it is kept as its first 64 characters and "…", which the collection refuses.
constexpr qsizetype maxCodeSpan = 256;
// Item titles are a few dozen characters; a longer name is cut.
constexpr qsizetype maxEntryNameLength = 256;

} // namespace

QStringList listingEntries(const QString &page, const QStringList &markers, int kind)
{
    const auto slot = [&markers](int i) { return markers.value(i); };
    const QString start = slot(10);
    QStringList entries;
    if (start.isEmpty())
        return entries;
    // The area is walked by position, never copied; every marker's search goes forward only.
    const QString area = Core::TextBetween(page, slot(8), slot(9));
    Core::ForwardFinder starts(area, start);
    Core::ForwardFinder skips[] = {{area, slot(11)}, {area, slot(kind == 1 ? 12 : 18)}};
    Core::ForwardFinder codeEnds(area, slot(13)), codeCuts(area, slot(19));
    Core::ForwardFinder nameStarts(area, slot(14)), nameEnds(area, slot(15));
    qsizetype pos = 0;
    while (true) {
        const qsizetype at = starts.from(pos);
        if (at < 0)
            break;
        pos = at + start.size();
        for (Core::ForwardFinder &skip : skips) {
            const qsizetype skipAt = skip.isEmpty() ? -1 : skip.from(pos);
            if (skipAt >= 0)
                pos = skipAt + skip.size();
        }
        const qsizetype e13 = codeEnds.isEmpty() ? -1 : codeEnds.from(pos);
        if (e13 < 0)
            continue;
        qsizetype codeEnd = e13;
        // The code is cut before slot 19 when the marker lies wholly inside it.
        const qsizetype cut = codeCuts.isEmpty() ? -1 : codeCuts.from(pos);
        if (cut >= 0 && cut + codeCuts.size() <= e13)
            codeEnd = cut;
        const QString code = codeEnd - pos > maxCodeSpan ? area.mid(pos, 64) + u'…'
                                                         : Core::trimSpaces(area.mid(pos, codeEnd - pos));
        QString name;
        const qsizetype e14 = nameStarts.isEmpty() ? -1 : nameStarts.from(pos);
        const qsizetype e15 = nameEnds.isEmpty() ? -1 : nameEnds.from(pos);
        if (e14 >= 0 && e15 >= 0) {
            const qsizetype length = e15 - e14 - nameStarts.size();
            if (length > 0)
                name = area.mid(e14 + nameStarts.size(), std::min(length, maxEntryNameLength));
            if (length > maxEntryNameLength && name.back().isHighSurrogate())
                name.chop(1); // never half of a character
        }
        entries << makeItemEntry(code, name);
    }
    return entries;
}

QString timeBasedCsvName(const QDateTime &when)
{
    return when.toString(u"yyyyMMddhhmm"_s) + u".csv"_s;
}

QString freeTimeBasedCsvName(const QString &folder, const QDateTime &when)
{
    const QString base = when.toString(u"yyyyMMddhhmm"_s);
    const QDir dir(folder);
    for (int n = 1;; ++n) {
        const QString stem = n == 1 ? base : base + u'-' + QString::number(n);
        // The picture folder of "X.csv" is "X".
        if (!QFileInfo::exists(dir.filePath(stem + u".csv"_s)) && !QFileInfo::exists(dir.filePath(stem)))
            return stem + u".csv"_s;
    }
}

Collector::Collector(Core::HttpClient &client, const Core::Config &config, const Core::CancelToken &token)
    : m_caller(client), m_token(token), m_client(client.withCancel(token)), m_config(config)
{
}

void Collector::cancel()
{
    m_token.cancel();
}

void Collector::setPagesInFlight(int count)
{
    m_pagesInFlight = std::max(0, count);
}

bool Collector::stopRequested()
{
    if (m_token.isCancelled())
        return true;
    if (m_caller.isCancelled()) {
        m_token.cancel(); // the requests of this run may carry another token than the caller's
        return true;
    }
    return false;
}

bool Collector::await(const QFuture<Core::HttpResult> &reply, QSemaphore &arrived)
{
    while (!reply.isFinished()) {
        if (stopRequested())
            return false;
        arrived.tryAcquire(1, 50);
    }
    return !stopRequested();
}

Core::HttpResult Collector::fetch(const Core::HttpRequest &request)
{
    const auto arrived = std::make_shared<QSemaphore>();
    QFuture<Core::HttpResult> reply = m_client.getAsync(request);
    reply.then(QtFuture::Launch::Sync, [arrived](const QFuture<Core::HttpResult> &) { arrived->release(); });
    if (!await(reply, *arrived)) {
        Core::HttpResult stopped;
        stopped.failure = Core::HttpResult::Failure::Cancelled;
        return stopped;
    }
    return reply.result();
}

QString Collector::resolveRedirects(const QString &address)
{
    if (!address.startsWith(u"http://"_s))
        return {};
    const Core::HttpResult result = fetch({address, Core::WaitMode::Long});
    return result.completed ? result.finalAddress : QString();
}

QString Collector::fetchPageAgain(const QString &address, const QString &text)
{
    if (!text.trimmed().isEmpty())
        return text;
    const QString resolved = resolveRedirects(address);
    if (resolved.isEmpty())
        return text;
    return Core::isFetchableAddress(resolved) ? Core::ansiText(fetch({resolved, Core::WaitMode::Long}))
                                              : QString();
}

QString Collector::fetchPage(const QString &address)
{
    const QString text = Core::isFetchableAddress(address)
                             ? Core::ansiText(fetch({address, Core::WaitMode::Long}))
                             : QString();
    return fetchPageAgain(address, text);
}

QString CollectOutcome::warnings() const
{
    QStringList lines;
    if (!warning.isEmpty())
        lines << warning;
    if (failedPages > 0)
        lines << QString::number(failedPages) + u"个商品列表页读取失败，其中的商品未采集"_s;
    if (rejectedEntries > 0)
        lines << QString::number(rejectedEntries) + u"个链接的商品编号无效，已跳过"_s;
    return lines.join(u'\n');
}

void Collector::add(CollectOutcome &outcome, const QString &entry)
{
    if (!isItemCode(itemCodeFromEntry(entry))) {
        ++outcome.rejectedEntries;
        qCInfo(lcNet) << "collection: not an item code, left out:" << entry;
        return;
    }
    outcome.entries << entry;
    if (onEntry)
        onEntry(entry);
}

void Collector::walkPages(const QString &pageTemplate, const QStringList &markers, int kind,
                          CollectOutcome &outcome)
{
    const auto pageAddress = [&pageTemplate](int page) {
        QString address = pageTemplate;
        return address.replace(u"{p}"_s, QString::number(page));
    };
    const QString first = fetchPage(pageAddress(1));
    if (stopRequested())
        return;
    const qint64 claimed = first.isEmpty()
                               ? 0
                               : listingPageCount(Core::CutAfterMarkers(first, markers.value(4),
                                                                        markers.value(5), markers.value(6)));
    const int pages = int(std::min<qint64>(claimed, maxListingPages));
    if (claimed > maxListingPages) {
        outcome.warning = u"店铺显示共"_s + QString::number(claimed) + u"页，只采集了前"_s +
                          QString::number(maxListingPages) + u"页"_s;
    }

    // Pages are asked for ahead of the one being read; the network layer queues them for
    // the host's connections. Page 1 is read again, as the count came from a page that
    // may have changed since.
    struct Pending
    {
        int page = 0;
        bool sent = false; // an address without "http://" is never fetched: an empty page
        QFuture<Core::HttpResult> reply;
    };
    const int ahead =
        m_pagesInFlight > 0 ? m_pagesInFlight : 2 * std::max(1, m_client.options().maxConnectionsPerHost);
    const auto arrived = std::make_shared<QSemaphore>();
    std::deque<Pending> inFlight;
    int nextPage = 1;
    const auto askAhead = [&] {
        for (; nextPage <= pages && int(inFlight.size()) < ahead; ++nextPage) {
            Pending pending;
            pending.page = nextPage;
            const QString address = pageAddress(nextPage);
            pending.sent = Core::isFetchableAddress(address);
            if (pending.sent) {
                pending.reply = m_client.getAsync({address, Core::WaitMode::Long});
                pending.reply.then(QtFuture::Launch::Sync,
                                   [arrived](const QFuture<Core::HttpResult> &) { arrived->release(); });
            }
            inFlight.push_back(std::move(pending));
        }
    };
    askAhead();
    while (!inFlight.empty()) {
        const Pending pending = std::move(inFlight.front());
        inFlight.pop_front();
        if (pending.sent && !await(pending.reply, *arrived))
            return;
        askAhead();
        const QString text = fetchPageAgain(
            pageAddress(pending.page), pending.sent ? Core::ansiText(pending.reply.result()) : QString());
        if (stopRequested())
            return;
        if (text.isEmpty())
            ++outcome.failedPages;
        else {
            for (const QString &entry : listingEntries(text, markers, kind))
                add(outcome, entry);
        }
        if (onProgress) {
            onProgress(u"正在采集网址，共"_s + QString::number(pages) + u"页，已读取"_s +
                       QString::number(pending.page) + u"页"_s);
        }
    }
}

CollectOutcome Collector::checkAddress(const Core::Config &config, CollectMode mode,
                                       const QString &rawAddress)
{
    CollectOutcome outcome;
    outcome.address = cleanCollectAddress(rawAddress);
    const QString &address = outcome.address;
    if (address.left(7) != u"http://"_s) {
        outcome.message =
            mode == CollectMode::Single ? u"输入的商品网址有误，请检查！"_s : u"输入有误，请检查！"_s;
    } else if (address.contains(config.taobaoDomain) || address.contains(config.tmallDomain)) {
        outcome.message = u"你输入的是淘宝商品,如果你需要淘宝商品复制到淘宝或拍拍,请用另一个软件"_s;
        outcome.openAddress = Core::Config::address(config.makerPrimary, u"/soft/tarsk"_s);
    } else if (address.contains(config.alibabaDomain)) {
        outcome.message = u"你输入的是阿里巴巴商品,如果你需要复制阿里巴巴商品,请用另一个软件"_s;
        outcome.openAddress = Core::Config::address(config.makerPrimary, u"/soft/brumel"_s);
    }
    return outcome;
}

CollectOutcome Collector::run(CollectMode mode, const QString &rawAddress)
{
    CollectOutcome outcome = checkAddress(m_config, mode, rawAddress);
    if (!outcome.message.isEmpty())
        return outcome;
    return collect(mode, outcome);
}

CollectOutcome Collector::collect(CollectMode mode, CollectOutcome outcome)
{
    const QString address = outcome.address;

    QStringList markers(paramPageInfo(ParamPage::UrlFind).slotCount);
    const bool markersRead = loadParamPage(m_client, m_config, ParamPage::UrlFind, markers);
    if (stopRequested()) {
        outcome.cancelled = true;
        return outcome;
    }
    // Without the page a shop walk finds nothing; say so rather than report an empty shop.
    if (!markersRead && mode != CollectMode::Single)
        outcome.warning = u"读不到采集所需的参数（网络不通或服务器出错），找不到店铺的商品"_s;
    if (onProgress)
        onProgress(u"正在采集网址..."_s);

    switch (mode) {
    case CollectMode::Single: {
        const QString code = singleItemCode(address);
        if (!isItemCode(Core::trimSpaces(code))) {
            outcome.message = u"输入的商品网址有误，请检查！"_s;
            return outcome;
        }
        const QString name =
            Core::DecodeHtmlEntities(ItemDocument::fetch(m_client, m_config, code).field(u"itemName"_s));
        // A lookup the stop cut short came back without the name: no entry is made of it.
        if (stopRequested()) {
            outcome.cancelled = true;
            return outcome;
        }
        add(outcome, makeItemEntry(Core::trimSpaces(code), name));
        break;
    }
    case CollectMode::Shop: {
        const ShopAddress shop = parseShopAddress(m_config, address);
        if (!Core::isNumeric(shop.shopNumber)) {
            outcome.message = u"输入的首页网址有误，请检查！"_s;
            return outcome;
        }
        QString pageTemplate = markers.value(shop.kind == 1 ? 0 : 17);
        pageTemplate.replace(u"{qqid}"_s, shop.shopNumber);
        pageTemplate.replace(u"{lm}"_s, u"0000000000"_s);
        walkPages(pageTemplate, markers, shop.kind, outcome);
        break;
    }
    case CollectMode::List: {
        const ListAddress list = parseListAddress(m_config, address);
        if (!Core::isNumeric(list.shop.shopNumber) &&
            (Core::isNumeric(list.category) || list.category.isEmpty())) {
            outcome.message = u"输入的网址有误，请检查！"_s;
            return outcome;
        }
        QString pageTemplate = markers.value(16);
        pageTemplate.replace(u"{qqid}"_s, list.shop.shopNumber);
        pageTemplate.replace(u"{lm}"_s, list.category);
        pageTemplate.replace(u"{key}"_s, list.key);
        walkPages(pageTemplate, markers, list.shop.kind, outcome);
        break;
    }
    }
    if (stopRequested()) {
        outcome.cancelled = true;
        return outcome;
    }
    outcome.finished = true;
    if (onProgress)
        onProgress(u"网址采集完成"_s);
    return outcome;
}

} // namespace Market
