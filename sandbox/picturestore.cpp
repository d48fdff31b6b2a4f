#include "picturestore.h"

#include "generatedshop.h"
#include "picturefactory.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

quint32 fnv1a(QStringView text)
{
    quint32 hash = 2166136261U;
    for (QChar c : text) {
        hash ^= c.unicode();
        hash *= 16777619U;
    }
    return hash;
}

} // namespace

bool PictureStore::load(const QString &picturesFile, QString *error)
{
    QFile file(picturesFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + picturesFile + u": "_s + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject() || !document.object().value(u"pictures").isArray()) {
        *error = picturesFile + u": expected {\"pictures\": [...]} ("_s + parseError.errorString() + u')';
        return false;
    }

    for (const QJsonValue &value : document.object().value(u"pictures").toArray()) {
        const QJsonObject entry = value.toObject();
        const QString path = entry.value(u"path").toString();
        const auto fail = [&](const QString &what) {
            *error = picturesFile + u": "_s + (path.isEmpty() ? u"entry"_s : path) + u": "_s + what;
            return false;
        };
        if (!path.startsWith(u'/'))
            return fail(u"path must start with /"_s);
        if (m_pictures.contains(path))
            return fail(u"listed twice"_s);

        const int status = entry.value(u"status").toInt(200);
        if (entry.contains(u"html") || status != 200) {
            // Broken picture links: the host answers with a web page instead of a picture.
            const QString html = entry.value(u"html").toString();
            HttpResponse response = html.isEmpty()
                                        ? HttpResponse::htmlPage(status)
                                        : HttpResponse(status, "text/html; charset=utf-8", html.toUtf8());
            m_pictures.insert(path, response);
            continue;
        }

        const auto format = PictureFactory::formatFromName(entry.value(u"format").toString());
        if (!format)
            return fail(u"format must be jpg, png, bmp, gif or ico"_s);
        const int width = entry.value(u"width").toInt(200);
        const int height = entry.value(u"height").toInt(200);
        if (width < 1 || height < 1 || width > 2000 || height > 2000)
            return fail(u"width and height must be 1 to 2000"_s);
        const auto seed = quint32(entry.value(u"seed").toInt(int(fnv1a(path) & 0x7FFFFFFF)));
        const QImage image = PictureFactory::makeImage(width, height, seed, entry.value(u"grain").toInt(10));
        const QByteArray bytes = PictureFactory::encode(image, *format, entry.value(u"quality").toInt(85));
        if (bytes.isEmpty())
            return fail(u"could not be encoded (image plugin missing?)"_s);
        // Content types follow the file name on old picture servers, not the bytes.
        const QString contentType = entry.value(u"contentType").toString();
        m_pictures.insert(path, HttpResponse(200,
                                             contentType.isEmpty() ? PictureFactory::contentType(*format)
                                                                   : contentType.toLatin1(),
                                             bytes));
    }
    return true;
}

void PictureStore::preparePool() const
{
    if (!m_pool.isEmpty())
        return;
    for (int i = 0; i < PoolSize; ++i) {
        const QImage image = PictureFactory::makeImage(400, 400, quint32(1000 + i), 6 + i);
        m_pool.append(PictureFactory::encode(image, PictureFactory::Format::Jpeg, 80));
    }
}

const QByteArray &PictureStore::poolPicture(const QString &path) const
{
    preparePool();
    return m_pool.at(qsizetype(fnv1a(path) % quint32(m_pool.size())));
}

std::optional<HttpResponse> PictureStore::find(const QString &path) const
{
    const auto known = m_pictures.constFind(path);
    if (known != m_pictures.constEnd())
        return *known;
    if (GeneratedShop::isPicturePath(path))
        return HttpResponse(200, PictureFactory::contentType(PictureFactory::Format::Jpeg),
                            poolPicture(path));
    return std::nullopt;
}

} // namespace Sandbox
