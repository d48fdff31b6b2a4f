#include "config.h"

#include <QFileInfo>
#include <QSettings>

using namespace Qt::Literals::StringLiterals;

namespace Core {

namespace {

struct Key
{
    QString name;
    QString Config::*member;
};

const QList<Key> &textKeys()
{
    static const QList<Key> keys = {
        {u"hosts/maker_primary"_s, &Config::makerPrimary},
        {u"hosts/maker_secondary"_s, &Config::makerSecondary},
        {u"hosts/item_api"_s, &Config::itemApi},
        {u"hosts/static"_s, &Config::staticHost},
        {u"hosts/item_page"_s, &Config::itemPage},
        {u"hosts/shop"_s, &Config::shop},
        {u"hosts/shop2"_s, &Config::shop2},
        {u"domains/paipai"_s, &Config::paipaiDomain},
        {u"domains/taobao"_s, &Config::taobaoDomain},
        {u"domains/tmall"_s, &Config::tmallDomain},
        {u"domains/alibaba"_s, &Config::alibabaDomain},
        {u"links/mall_item_prefix"_s, &Config::mallItemPrefix},
        {u"links/marketplace"_s, &Config::marketplaceMarker},
        {u"network/proxy"_s, &Config::proxy},
    };
    return keys;
}

} // namespace

Config Config::load(const QString &iniPath)
{
    Config config;
    if (iniPath.isEmpty() || !QFileInfo(iniPath).isFile())
        return config;
    QSettings settings(iniPath, QSettings::IniFormat);
    for (const Key &key : textKeys()) {
        const QString value = settings.value(key.name).toString().trimmed();
        if (!value.isEmpty())
            config.*key.member = value;
    }
    bool ok = false;
    const int limit = settings.value(u"network/max_connections_per_host"_s).toString().trimmed().toInt(&ok);
    if (ok && limit > 0)
        config.maxConnectionsPerHost = limit;
    return config;
}

bool Config::save(const QString &iniPath) const
{
    QSettings settings(iniPath, QSettings::IniFormat);
    for (const Key &key : textKeys())
        settings.setValue(key.name, this->*key.member);
    settings.setValue(u"network/max_connections_per_host"_s, maxConnectionsPerHost);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString Config::address(const QString &host, const QString &path)
{
    return u"http://"_s + host + path;
}

} // namespace Core
