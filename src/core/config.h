#pragma once

#include <QString>

namespace Core {

// Everything the program reads from quorvex.ini. A missing file or key means the
// compiled-in default, so a fresh installation needs no file at all.
struct Config
{
    // [hosts]: host names, each with an optional ":port".
    QString makerPrimary = QStringLiteral("www.pelmora.com");
    QString makerSecondary = QStringLiteral("soft.pelmora.com");
    QString itemApi = QStringLiteral("api.paipai.com");
    QString staticHost = QStringLiteral("static.paipaiimg.com");
    QString itemPage = QStringLiteral("auction1.paipai.com");
    QString shop = QStringLiteral("shop.paipai.com");
    QString shop2 = QStringLiteral("shop.wanggou.com");

    // [domains]: the domain names the collection run tests addresses against.
    QString paipaiDomain = QStringLiteral("paipai.com");
    QString taobaoDomain = QStringLiteral("taobao.com");
    QString tmallDomain = QStringLiteral("tmall.com");
    QString alibabaDomain = QStringLiteral("alibaba.com");

    // [links]: the two markers of link stripping.
    QString mallItemPrefix = QStringLiteral("http://item.taobao");
    QString marketplaceMarker = QStringLiteral("paipai.com/");

    // [network]
    QString proxy; // empty, or http://HOST:PORT
    int maxConnectionsPerHost = 6;

    // Reads the file; keys that are missing or empty keep their defaults.
    static Config load(const QString &iniPath);
    // Writes every key (used to give users a file to edit), keeping the file's other keys.
    // On failure the file stays as it was and error says why.
    bool save(const QString &iniPath, QString *error = nullptr) const;

    // "http://" + host + path, the form every outside address takes.
    static QString address(const QString &host, const QString &path);
};

} // namespace Core
