#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Code page 936 (GBK), the same bytes and characters on every platform. Linux decodes
// through Qt's converters (ICU); the Windows Qt has no ICU, so there the system's own code
// page tables do the work, and this file gives them the rules the converters follow:
//   - bytes below 0x80 are themselves, 0x80 is the euro sign, 0xFF is U+F8F5;
//   - a lead byte (0x81 to 0xFE) with a trail byte (0x40 to 0x7E, 0x80 to 0xFE) is one
//     character; with any other byte it is U+FFFD and that byte is read on its own;
//   - a lead byte at the very end is dropped;
//   - a character the code page can't hold is encoded as "?".
namespace Core::CodePage936 {

QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);

} // namespace Core::CodePage936
