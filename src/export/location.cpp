#include "location.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/text.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace Export {

CityTable CityTable::fetch(Core::HttpClient &client, const Core::Config &config)
{
    return CityTable(
        Core::HttpGetText(client, Core::Config::address(config.staticHost, u"/js/cities.js"_s), 1));
}

QString CityTable::cityName(const QString &cityId) const
{
    if (Core::isBlank(m_script))
        return {};
    // The commas on both sides keep 12 from matching inside 112.
    const QString key = u',' + Core::trimSpaces(cityId) + u",'"_s;
    const qsizetype at = m_script.indexOf(key);
    if (at < 0)
        return {};
    const qsizetype from = at + key.size();
    const qsizetype quote = m_script.indexOf(u'\'', from);
    if (quote < 0)
        return {};
    return m_script.mid(from, quote - from);
}

QString CityTable::provinceName(const QString &provinceId) const
{
    if (!Core::isNumeric(provinceId))
        return {};
    const double number = std::nearbyint(Core::trimSpaces(provinceId).toDouble());
    if (number < 0 || number > 1e6)
        return {};
    const qsizetype index = qsizetype(number);
    if (Core::isBlank(m_script))
        return {};
    const qsizetype city = m_script.indexOf(u"city"_s, 0, Qt::CaseInsensitive);
    if (city < 0)
        return {};
    const QStringView rest = QStringView(m_script).mid(city + 4);
    const qsizetype open = rest.indexOf(u'(');
    const qsizetype close = rest.indexOf(u')');
    if (open < 0 || close <= open)
        return {};
    const QList<QStringView> names = rest.mid(open + 1, close - open - 1).split(u',');
    // The list's last element is never returned.
    if (index < names.size() - 1)
        return names.at(index).toString();
    return {};
}

} // namespace Export
