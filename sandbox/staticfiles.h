#pragma once

#include "httpresponse.h"

#include <QHash>
#include <QString>

#include <optional>

namespace Sandbox {

// Pages kept as files under data/www, served by their path there. Text files are kept
// in UTF-8 and go out in GBK like the real sites' pages; other files go out unchanged.
class StaticFiles
{
public:
    bool load(const QString &rootDir, QString *error);
    std::optional<HttpResponse> find(const QString &path) const;

private:
    QHash<QString, HttpResponse> m_files;
};

} // namespace Sandbox
