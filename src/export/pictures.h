#pragma once

#include "core/savefile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Export {

// "JPG", "GIF", "BMP", "PNG", "ICO" from the first bytes, or the empty text.
QString detectPictureType(const QByteArray &bytes);

// True when an image reader recognises the bytes and reads a size from their header:
// the first bytes of a picture followed by garbage are not a picture.
bool hasReadablePictureHeader(const QByteArray &bytes);

// True when the bytes are a whole picture: its file structure runs to its end marker
// (a picture cut short is not, though image readers show it with its lower part grey) and
// an image reader decodes all of it.
bool isCompletePicture(const QByteArray &bytes);

// Targets ending in ".tbi", ".exe" or ".rar" keep their name whatever the type; ".exe" and
// ".rar" store any body, ".tbi" only a picture.
bool isFixedNameTarget(const QString &targetPath);

// The target path with its extension set to the type: the text before the last "."
// that stands after the last "/" (or "\" when there is no "/"), then "." + type.
QString pathWithType(const QString &targetPath, const QString &type);

// The address actually requested: cut before the first "?".
QString requestAddressOfPicture(const QString &url);

// What a download stores and returns, decided from the received body: the type
// ("1" for fixed-name targets, empty when nothing is to be stored) and the final path.
struct StoredPicture
{
    QString type;
    QString path;
};
StoredPicture decideStoredPicture(const QString &targetPath, const QByteArray &body);
// The same decision from the body's type as pictureTypeOf() gives it.
StoredPicture storedPictureOfType(const QString &targetPath, const QString &type);
// The type of a picture whose header an image reader can read, or the empty text.
QString pictureTypeOf(const QByteArray &bytes);

// A picture an earlier run stored for the target, when it is whole: for a ".tbi" target
// the file itself; otherwise the target with each type's extension in turn, the type taken
// from the name (a stamped picture's content is JPEG whatever its name says). Files larger
// than maxBytes are not read. Empty when there is none to use.
StoredPicture findCompletePicture(const QString &targetPath, qint64 maxBytes);

// Writes bytes to a temporary file beside the path and renames it over the path,
// so a reader never sees half a file. Returns false (with the reason) on failure.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// The stock file: UTF-8, with EF BB BF when bom is set; nothing at all for an empty text
// (which counts as saved).
Core::SaveResult writeUtf8File(const QString &text, const QString &path, bool bom);

} // namespace Export

namespace Core {
class HttpClient;
}

namespace Export {

// Downloads a picture (the query is not sent) and stores it under the target with
// its extension set to the detected type. Returns the type ("1" for fixed-name
// targets), or the empty text when nothing was stored: no answer, an error status,
// a broken transfer, an empty body or a body that is not a picture.
QString downloadPicture(Core::HttpClient &client, const QString &url, const QString &targetPath,
                        QString *storedPath = nullptr);

} // namespace Export
