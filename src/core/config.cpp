#include "config.h"

#include "savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

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

bool Config::save(const QString &iniPath, QString *error) const
{
    // The settings are made up in a copy of the file, which then goes through the checked
    // writer: a full disk leaves the old file, never a cut one. Keys of others are kept.
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(u"quorvex.ini"_s);
    if (!scratch.isValid() || (QFileInfo::exists(iniPath) && !QFile::copy(iniPath, copy))) {
        if (error)
            *error = u"无法读取 "_s + QDir::toNativeSeparators(iniPath);
        return false;
    }
    {
        QSettings settings(copy, QSettings::IniFormat);
        for (const Key &key : textKeys())
            settings.setValue(key.name, this->*key.member);
        settings.setValue(u"network/max_connections_per_host"_s, maxConnectionsPerHost);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            if (error)
                *error = u"无法写入 "_s + QDir::toNativeSeparators(iniPath);
            return false;
        }
    }
    QFile made(copy);
    if (!made.open(QIODevice::ReadOnly)) {
        if (error)
            *error = u"无法写入 "_s + QDir::toNativeSeparators(iniPath);
        return false;
    }
    const SaveResult saved = saveFile(iniPath, made.readAll());
    if (!saved && error)
        *error = saved.message;
    return saved.saved;
}

QString Config::address(const QString &host, const QString &path)
{
    return u"http://"_s + host + path;
}

} // namespace Core
