#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

class QPainter;

namespace Skin {

// One picture of the skin, ready to be copied onto a surface. Pictures are copied opaquely at
// their own size: transparency is not used, so a picture with an alpha channel shows its
// colours as if it had none. Empty after creation and after a failed load: width and height 0,
// Paint draws nothing.
class clsBitmap
{
public:
    // Frees what the object holds, then loads a picture file. False when it does not load.
    bool LoadFile(const QString &path);
    // Frees what the object holds, then adopts `picture`. False for a null picture.
    bool LoadResource(const QImage &picture);

    int Width() const { return m_bitmap.width(); }
    int Height() const { return m_bitmap.height(); }
    bool isEmpty() const { return m_bitmap.isNull(); }
    // Copies the whole picture with its top-left corner at (x, y).
    void Paint(QPainter &destination, int x, int y) const;

private:
    void ReleaseBitmap();

    QPixmap m_bitmap;
    // The cache key of the image the bitmap was made from: adopting the same image again
    // (a hover that reads the picture it shows already) keeps the bitmap as it is.
    qint64 m_source = 0;
};

} // namespace Skin
