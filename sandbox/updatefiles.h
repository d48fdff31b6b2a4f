#pragma once

#include "httpresponse.h"

#include <QString>

#include <optional>

namespace Sandbox {

// The maker's version file and update downloads, set on the command line so a whole
// update can be tried offline: "/soft/venlo/s_ver.txt" answers the published version
// when one is given (otherwise the data folder's file is served), and
// "/soft/venlo/update.jpg" and "/soft/venlo/venlo.jpg" are read from the downloads
// folder at each request, so a test may swap them while the sandbox runs.
class UpdateFiles
{
public:
    void setPublishedVersion(const std::optional<QString> &version) { m_version = version; }
    void setDownloadDir(const QString &folder) { m_downloadDir = folder; }

    // nullopt for paths that are not the version file or a download.
    std::optional<HttpResponse> find(const QString &path) const;

private:
    std::optional<QString> m_version;
    QString m_downloadDir;
};

} // namespace Sandbox
