#pragma once

#include <QByteArray>
#include <QString>

namespace SelfUpdate {

// "tb.dat" in the program folder: the installed version as six ANSI characters,
// space-padded on the right, at byte positions 10 to 15 (offset 9). Whatever else the
// file holds belongs to nobody here and is never touched.
QString versionRecordFileName();
constexpr qint64 versionFieldOffset = 9;
constexpr qint64 versionFieldLength = 6;

// The version as the field holds it: left-aligned in six bytes of the ANSI code page,
// padded with spaces and cut to six.
QByteArray versionFieldBytes(const QString &version);

// The field of the record in programDir, decoded and untrimmed: up to six bytes from
// offset 9, fewer when the file ends sooner, empty when it is shorter than ten bytes or
// can't be read. Like the original record, opening it creates an empty file when none is
// there.
QString readVersionField(const QString &programDir);

// Writes the version into bytes 10 to 15 of the record in programDir, in place: a missing
// file is created, a file shorter than nine bytes is first filled up to nine with zero
// bytes (as a write past the end does), and every byte outside the field is kept.
bool writeVersionField(const QString &programDir, const QString &version, QString *error = nullptr);

} // namespace SelfUpdate
