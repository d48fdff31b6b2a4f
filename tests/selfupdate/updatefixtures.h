#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtEndian>

// Small program images for the download and install tests: complete as far as the
// installer can tell (every table their headers point to is inside), so cutting one
// short anywhere past its headers makes it no program. The filler tells copies apart.
namespace ProgramBytes {

template <typename T> void put(QByteArray &bytes, qsizetype offset, T value)
{
    qToLittleEndian<T>(value, bytes.data() + offset);
}

// A 64-bit little-endian ELF program with one loaded segment and two section headers
// at its very end.
inline QByteArray elf(qsizetype size = 4096, char filler = 'e')
{
    QByteArray bytes(size, filler);
    bytes.replace(0, 16,
                  QByteArray("\x7f"
                             "ELF\x02\x01\x01",
                             7)
                      .append(QByteArray(9, '\0')));
    put<quint16>(bytes, 16, 3);  // position-independent program
    put<quint16>(bytes, 18, 62); // x86-64
    put<quint32>(bytes, 20, 1);
    put<quint64>(bytes, 24, 0x1000);              // entry
    put<quint64>(bytes, 32, 64);                  // program headers
    put<quint64>(bytes, 40, quint64(size - 128)); // section headers
    put<quint32>(bytes, 48, 0);
    put<quint16>(bytes, 52, 64);
    put<quint16>(bytes, 54, 56);
    put<quint16>(bytes, 56, 1);
    put<quint16>(bytes, 58, 64);
    put<quint16>(bytes, 60, 2);
    put<quint16>(bytes, 62, 0);
    put<quint32>(bytes, 64, 1); // PT_LOAD
    put<quint32>(bytes, 68, 5);
    put<quint64>(bytes, 72, 0);
    put<quint64>(bytes, 80, 0);
    put<quint64>(bytes, 88, 0);
    put<quint64>(bytes, 96, quint64(size - 128));
    put<quint64>(bytes, 104, quint64(size - 128));
    put<quint64>(bytes, 112, 0x1000);
    bytes.replace(size - 128, 128, QByteArray(128, '\0'));
    return bytes;
}

// A PE program (x86-64) with one section that runs to its end.
inline QByteArray pe(qsizetype size = 4096, char filler = 'w', quint16 characteristics = 0x0022)
{
    QByteArray bytes(size, filler);
    bytes.replace(0, 0x200, QByteArray(0x200, '\0'));
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put<quint32>(bytes, 0x3c, 0x80);
    bytes.replace(0x80, 4, QByteArray("PE\0\0", 4));
    put<quint16>(bytes, 0x84, 0x8664);
    put<quint16>(bytes, 0x86, 1);    // one section
    put<quint16>(bytes, 0x94, 0xf0); // optional header size
    put<quint16>(bytes, 0x96, characteristics);
    const qsizetype section = 0x98 + 0xf0;
    bytes.replace(section, 5, QByteArray(".text"));
    put<quint32>(bytes, section + 16, quint32(size - 0x200)); // raw size
    put<quint32>(bytes, section + 20, 0x200);                 // raw data
    return bytes;
}

// This platform's kind of program.
inline QByteArray program(qsizetype size = 4096, char filler = 'p')
{
#ifdef Q_OS_WIN
    return pe(size, filler);
#else
    return elf(size, filler);
#endif
}

// The other platform's kind: a program, but not one this platform runs.
inline QByteArray foreignProgram(qsizetype size = 4096)
{
#ifdef Q_OS_WIN
    return elf(size);
#else
    return pe(size);
#endif
}

} // namespace ProgramBytes

// Whole files and folder listings, for the tests that check what a run left behind.
namespace Files {

inline QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every name in the folder, hidden ones too, sorted.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace Files
