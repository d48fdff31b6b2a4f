#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace Skin {

// The largest entry, packed or unpacked, that is read out of a resource file.
inline constexpr qsizetype MaxResourceEntrySize = 64 * 1024 * 1024;
// The most that the entries of one file unpack to together.
inline constexpr qint64 MaxResourceContentSize = 64 * 1024 * 1024;

// The files at the root of a Qt binary resource file (what `rcc --binary` writes), by their
// exact names, unpacked. Nothing when the data is not such a file or is damaged: every offset
// is checked against the data before it is followed, so a cut-short file never makes the
// reader look past its end. Folders are skipped; an entry that can't be unpacked or is larger
// than MaxResourceEntrySize is left out. Two entries over the same data (rcc never writes
// that) or entries that unpack to more than MaxResourceContentSize together make the file
// damaged: a small file must not unpack one packed picture thousands of times.
std::optional<QHash<QString, QByteArray>> readResourceRoot(const QByteArray &data);

} // namespace Skin
