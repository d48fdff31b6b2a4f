#pragma once

#include "httpresponse.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Sandbox {

// The picture hosts: the sample items' pictures (listed in pictures.json and made at
// start-up) and the generated shop's, which share a small pool of ready JPEGs.
class PictureStore
{
public:
    static constexpr int PoolSize = 8;

    bool load(const QString &picturesFile, QString *error);
    // Done up front when a generated shop is served so its first answers are not slow.
    void preparePool() const;

    // By path only: the query (sizes, cache busters) never changes the picture.
    std::optional<HttpResponse> find(const QString &path) const;

private:
    const QByteArray &poolPicture(const QString &path) const;

    QHash<QString, HttpResponse> m_pictures;
    mutable QList<QByteArray> m_pool;
};

} // namespace Sandbox
