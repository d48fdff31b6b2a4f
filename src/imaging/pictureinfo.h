#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// The size check that keeps large pictures away from the watermark, read from the
// file's own header before anything is decoded.
namespace Imaging {

// Width and height from the first bytes: BMP, GIF, JPEG (the first start-of-frame
// segment), PNG, icon and placeable metafile; 0 by 0 for anything else or a header
// that is cut short.
QSize pictureHeaderSize(const QByteArray &bytes);

// " W × H (K KB)": width and height each after one space, the size in kilobytes with
// at most two decimals and no zeros of its own ("12.5", "3.", ".13").
QString PictureInfo(const QByteArray &bytes, qint64 fileSize);
QString PictureInfo(const QByteArray &bytes);
// The same for a file; the empty text when it cannot be read.
QString PictureInfo(const QString &path);

// True when the last four characters of the name are ".png", ".jpg", ".gif", "jpeg" or
// ".bmp" in any letter case (the export stores its pictures as ".JPG" and the like).
bool IsPictureName(const QString &path);

// True when the picture must not be stamped: its name looks like a picture and its
// width or height is above 1000 pixels or its size above 1000 KB.
bool TooLargeForWatermark(const QString &fileName, const QByteArray &bytes);
bool TooLargeForWatermark(const QString &path);
// True when a decoded picture is wider or taller than 1000 pixels. The header can understate
// a picture (an icon's directory keeps one byte per side while the picture inside may be
// thousands of pixels wide), so the watermark checks the decoded size as well.
bool isTooLargeToStamp(const QSize &decodedSize);

} // namespace Imaging
