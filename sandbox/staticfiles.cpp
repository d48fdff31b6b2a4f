#include "staticfiles.h"

#include "gbkcodec.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

// Text types are re-encoded to GBK; the content type says so.
std::pair<QByteArray, bool> typeFor(const QString &suffix)
{
    if (suffix == u"htm" || suffix == u"html")
        return {"text/html; charset=GBK", true};
    if (suffix == u"js")
        return {"application/x-javascript; charset=GBK", true};
    if (suffix == u"txt")
        return {"text/plain; charset=GBK", true};
    if (suffix == u"xml")
        return {"text/xml; charset=GBK", true};
    if (suffix == u"css")
        return {"text/css; charset=GBK", true};
    if (suffix == u"jpg" || suffix == u"jpeg")
        return {"image/jpeg", false};
    if (suffix == u"png")
        return {"image/png", false};
    if (suffix == u"gif")
        return {"image/gif", false};
    return {"application/octet-stream", false};
}

} // namespace

bool StaticFiles::load(const QString &rootDir, QString *error)
{
    const QDir root(rootDir);
    if (!root.exists()) {
        *error = u"folder "_s + rootDir + u" does not exist"_s;
        return false;
    }
    QDirIterator it(rootDir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString filePath = it.next();
        QFile file(filePath);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = u"cannot read "_s + filePath + u": "_s + file.errorString();
            return false;
        }
        QByteArray bytes = file.readAll();
        const auto [contentType, isText] = typeFor(QFileInfo(filePath).suffix().toLower());
        if (isText) {
            bool ok = false;
            bytes = GbkCodec::encode(QString::fromUtf8(bytes), &ok);
            if (!ok) {
                *error = filePath + u" has characters GBK cannot hold"_s;
                return false;
            }
        }
        m_files.insert(u'/' + root.relativeFilePath(filePath), HttpResponse(200, contentType, bytes));
    }
    return true;
}

std::optional<HttpResponse> StaticFiles::find(const QString &path) const
{
    const auto it = m_files.constFind(path);
    if (it == m_files.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace Sandbox
