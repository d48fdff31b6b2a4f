#include "clsbitmap.h"

#include <QImageReader>
#include <QPainter>

namespace Skin {

bool clsBitmap::LoadFile(const QString &path)
{
    ReleaseBitmap();
    QImageReader reader(path);
    return LoadResource(reader.read());
}

bool clsBitmap::LoadResource(const QImage &picture)
{
    if (!picture.isNull() && picture.cacheKey() == m_source && !m_bitmap.isNull())
        return true;
    ReleaseBitmap();
    if (picture.isNull())
        return false;
    m_bitmap = QPixmap::fromImage(picture.convertToFormat(QImage::Format_RGB32));
    if (m_bitmap.isNull())
        return false;
    m_source = picture.cacheKey();
    return true;
}

void clsBitmap::Paint(QPainter &destination, int x, int y) const
{
    if (!m_bitmap.isNull())
        destination.drawPixmap(x, y, m_bitmap);
}

void clsBitmap::ReleaseBitmap()
{
    m_bitmap = QPixmap();
    m_source = 0;
}

} // namespace Skin
