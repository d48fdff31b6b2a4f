#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace Skin {

// The largest entry, packed or unpacked, that is read out of a resource file.
inline constexpr qsizetype MaxResourceEntrySize = 64 * 1024 * 1024;

// The files at the root of a Qt binary resource file (what `rcc --binary` writes), by their
// exact names, unpacked. Nothing when the data is not such a file or is damaged: every offset
// is checked against the data before it is followed, so a cut-short file never makes the
// reader look past its end. Folders are skipped; an entry that can't be unpacked or is larger
// than MaxResourceEntrySize is left out.
std::optional<QHash<QString, QByteArray>> readResourceRoot(const QByteArray &data);

} // namespace Skin
