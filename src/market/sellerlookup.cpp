#include "sellerlookup.h"

#include "core/httpclient.h"
#include "core/text.h"
#include "itemservice.h"
#include "parampages.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Market {

QString sellerNickRefusedMessage()
{
    return u"请输入输入掌柜名(淘宝ID)"_s;
}

QString checkSellerNick(const QString &text)
{
    const QString nick = Core::trimSpaces(text);
    if (nick.isEmpty() || nick.contains(u"输入掌柜"_s) || nick.size() > maxSellerNickLength)
        return sellerNickRefusedMessage();
    return {};
}

QString rewriteSellerNick(const QString &text)
{
    return Core::CleanField(QString(text).remove(u' '));
}

QString firstItemOfListingPage(const QString &page, const QStringList &table)
{
    if (Core::isBlank(page))
        return {};
    return Core::trimSpaces(Core::CutAfterMarkers(page, table.value(1), table.value(2), table.value(3)));
}

QString FindFirstItemByPage(Core::HttpClient &client, const Core::Config &config, const QString &nick)
{
    const QStringList table = fetchParamSlots(client, config, ParamPage::FirstItem);
    const QString address = QString(table.value(0)).replace(u"{zg}"_s, nick);
    return firstItemOfListingPage(Core::HttpGetText(client, address, 1), table);
}

namespace {

QString lookupMessage(const SellerLookupResult &result, bool haveItem, const QString &problem)
{
    // What the window's fields show; the item id alone shows nothing.
    const bool filled =
        !result.postageShown().isEmpty() || !result.locationShown().isEmpty() || !result.categories.isEmpty();
    const QString seller = u"掌柜“"_s + result.nick + u"”"_s;
    if (!filled && problem.isEmpty())
        return u"没有找到"_s + seller + u"的商品和店铺分类，请检查掌柜名"_s;
    if (!filled)
        return u"没有查到"_s + seller + u"的信息："_s + problem;
    if (!problem.isEmpty())
        return seller + u"的部分信息没有查到："_s + problem;
    if (!haveItem)
        return u"没有找到"_s + seller + u"的商品，邮费模板ID和所在地查不到"_s;
    return {};
}

} // namespace

QString SellerLookupResult::postageShown() const
{
    return postage.trimmed().isEmpty() ? QString() : postage;
}

QString SellerLookupResult::locationShown() const
{
    return location == u"/"_s ? QString() : location;
}

bool SellerLookupResult::foundAnything() const
{
    return !Core::CleanField(itemId).isEmpty() || !categories.isEmpty();
}

SellerCategorySelection selectSellerCategories(const QList<SellerCategory> &categories,
                                               const QList<int> &selectedRows)
{
    QList<int> rows = selectedRows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    SellerCategorySelection selection{QString(), u","_s};
    for (int row : std::as_const(rows)) {
        if (row < 0 || row >= categories.size())
            continue;
        selection.shopCategories += categories.at(row).name + u',';
        selection.categoryIds += categories.at(row).id + u',';
    }
    return selection;
}

SellerLookupJob::SellerLookupJob(Core::HttpClient &client, const Core::Config &config,
                                 QStringList parameterSlots, QString nickText, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(config),
      m_slots(std::move(parameterSlots)), m_nickText(std::move(nickText))
{
}

void SellerLookupJob::cancel()
{
    m_cancel.cancel();
}

bool SellerLookupJob::stopHere(SellerLookupResult &result) const
{
    if (m_cancel.isCancelled())
        result.cancelled = true;
    return result.cancelled;
}

void SellerLookupJob::note(SellerLookupResult &result, const QString &problem)
{
    if (problem.isEmpty() || result.problems.contains(problem))
        return;
    result.problems.append(problem);
    emit progress(problem);
}

SellerLookupResult SellerLookupJob::run()
{
    SellerLookupResult result;
    result.refusal = checkSellerNick(m_nickText);
    if (result.refused()) {
        emit finished(result);
        return result;
    }
    // What the fields show when a call gets nothing: the blank field result and "/".
    result.postage = blankFieldResult();
    result.location = u"/"_s;
    result.nick = rewriteSellerNick(m_nickText);
    OpenPlatformClient platform(m_client, OpenPlatformParams::fromSlots(m_slots), m_clock);
    // The first failed call, as the user is told it.
    QString problemForUser;
    const auto noteCall = [&](bool toldToUser) {
        if (toldToUser && problemForUser.isEmpty())
            problemForUser = platform.lastProblemForUser();
        note(result, platform.lastProblem());
    };

    if (!stopHere(result)) {
        result.itemId = platform.TaobaoFirstItemOfSeller(result.nick);
        noteCall(true);
    }
    if (!stopHere(result) && Core::CleanField(result.itemId).isEmpty()) {
        result.itemId = FindFirstItemByPage(m_client, m_config, result.nick);
        result.itemFromPage = !result.itemId.isEmpty();
        if (!result.itemFromPage)
            note(result, u"the seller's listing page gave no item either"_s);
    }
    // Without an item the item calls still go out, with an empty id, as the lookup always did;
    // their refusal of the empty id is not what the user needs to hear.
    const bool haveItem = !Core::CleanField(result.itemId).isEmpty();
    if (!stopHere(result)) {
        result.postage = platform.TaobaoItemGet(result.itemId, u"postage_id"_s);
        noteCall(haveItem);
    }
    if (!stopHere(result)) {
        result.categories = platform.sellerCategories(result.nick);
        noteCall(true);
    }
    if (!stopHere(result)) {
        result.location = readSellerLocation(platform.TaobaoItemGet(result.itemId, u"location"_s));
        noteCall(haveItem);
    }
    if (!result.cancelled)
        result.message = lookupMessage(result, haveItem, problemForUser);
    emit finished(result);
    return result;
}

} // namespace Market
