#include "updatefiles.h"

#include "gbkcodec.h"

#include <QDir>
#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

std::optional<HttpResponse> UpdateFiles::find(const QString &path) const
{
    static constexpr QStringView Folder = u"/soft/venlo/";
    if (!path.startsWith(Folder))
        return std::nullopt;
    const QString name = path.mid(Folder.size());
    if (name == u"s_ver.txt") {
        if (!m_version)
            return std::nullopt;
        return HttpResponse(200, "text/plain; charset=GBK", GbkCodec::encode(*m_version));
    }
    if (name != u"update.jpg" && name != u"venlo.jpg")
        return std::nullopt;
    // Without a downloads folder, or without the file in it, the server has no such file.
    const QString notFound = u"The requested URL "_s + path + u" was not found on this server."_s;
    if (m_downloadDir.isEmpty())
        return HttpResponse::htmlPage(404, notFound);
    QFile file(QDir(m_downloadDir).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return HttpResponse::htmlPage(404, notFound);
    // Served as a web server serves any ".jpg", whatever the bytes are.
    return HttpResponse(200, "image/jpeg", file.readAll());
}

} // namespace Sandbox
