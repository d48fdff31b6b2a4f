#include "resourcefile.h"

#include <QAtomicInteger>
#include <QList>
#include <QResource>
#include <QSet>
#include <QStringList>
#include <QtEndian>

using namespace Qt::Literals::StringLiterals;

namespace Skin {

namespace {

// Layout of the file, as rcc writes it: a header ("qres", version, offsets of the tree, the
// data and the names; version 3 adds feature flags), a tree of fixed-size nodes whose node 0
// is the root folder, a names section (length, hash, UTF-16 big-endian text) and a data
// section (length, bytes).
constexpr quint16 flagZlib = 0x01;
constexpr quint16 flagDirectory = 0x02;
constexpr quint16 flagZstd = 0x04;
constexpr quint32 maxRootEntries = 4096;

class Bytes
{
public:
    explicit Bytes(const QByteArray &data) : m_data(data) {}

    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_data.size() && length <= m_data.size() - offset;
    }
    quint16 u16(qint64 offset) const { return qFromBigEndian<quint16>(m_data.constData() + offset); }
    quint32 u32(qint64 offset) const { return qFromBigEndian<quint32>(m_data.constData() + offset); }

private:
    const QByteArray &m_data;
};

struct RootFile
{
    QString name;
    quint16 flags = 0;
};

// The root's files, once every byte that a look-up of them reads is known to lie inside the data.
std::optional<QList<RootFile>> checkedRootFiles(const QByteArray &data)
{
    const Bytes bytes(data);
    if (!bytes.has(0, 20) || !data.startsWith("qres"))
        return std::nullopt;
    const quint32 version = bytes.u32(4);
    if (version < 1 || version > 3)
        return std::nullopt;
    const qint64 tree = bytes.u32(8);
    const qint64 payload = bytes.u32(12);
    const qint64 names = bytes.u32(16);
    if (version >= 3) {
        if (!bytes.has(0, 24) || (bytes.u32(20) & ~quint32(flagZlib | flagZstd)) != 0)
            return std::nullopt;
    }
    const qint64 nodeSize = version >= 2 ? 22 : 14;
    if (!bytes.has(tree, nodeSize) || !bytes.has(payload, 0) || !bytes.has(names, 0))
        return std::nullopt;
    if ((bytes.u16(tree + 4) & flagDirectory) == 0)
        return std::nullopt;
    const quint32 count = bytes.u32(tree + 6);
    const quint32 first = bytes.u32(tree + 10);
    if (count > maxRootEntries || !bytes.has(tree + qint64(first) * nodeSize, qint64(count) * nodeSize))
        return std::nullopt;

    QList<RootFile> files;
    QSet<qint64> dataOffsets;
    for (quint32 i = 0; i < count; ++i) {
        const qint64 node = tree + (qint64(first) + i) * nodeSize;
        const qint64 nameAt = names + bytes.u32(node);
        if (!bytes.has(nameAt, 6))
            return std::nullopt;
        const quint16 length = bytes.u16(nameAt);
        if (!bytes.has(nameAt + 6, 2 * qint64(length)))
            return std::nullopt;
        const quint16 flags = bytes.u16(node + 4);
        if (flags & flagDirectory)
            continue;
        const qint64 dataAt = payload + bytes.u32(node + 10);
        if (!bytes.has(dataAt, 4) || dataOffsets.contains(dataAt))
            return std::nullopt;
        dataOffsets.insert(dataAt);
        const qint64 size = bytes.u32(dataAt);
        if (!bytes.has(dataAt + 4, size))
            return std::nullopt;
        // A zlib entry starts with its unpacked length; one too short to hold it is damaged.
        if ((flags & flagZlib) && size < 4)
            continue;
        QString name(length, Qt::Uninitialized);
        for (int c = 0; c < length; ++c)
            name[c] = QChar(bytes.u16(nameAt + 6 + 2 * c));
        if (name.isEmpty() || name.contains(u'/') || name == "."_L1 || name == ".."_L1)
            continue;
        files.append({name, flags});
    }
    return files;
}

} // namespace

std::optional<QHash<QString, QByteArray>> readResourceRoot(const QByteArray &data)
{
    const std::optional<QList<RootFile>> files = checkedRootFiles(data);
    if (!files)
        return std::nullopt;

    // QResource unpacks zlib and zstd entries. It reads straight from `data`, so the data is
    // registered only for the time of this call, under a root of its own that no other look-up
    // in the program enters.
    static QAtomicInteger<quint32> serial;
    const QString root = u"/quorvex-skin-%1"_s.arg(serial.fetchAndAddRelaxed(1));
    const auto *raw = reinterpret_cast<const uchar *>(data.constData());
    if (!QResource::registerResource(raw, root))
        return std::nullopt;

    // The sizes first: nothing is unpacked when the entries together are too large.
    QStringList names;
    qint64 total = 0;
    for (const RootFile &file : *files) {
        const QResource resource(u':' + root + u'/' + file.name);
        const qint64 size = resource.isValid() ? resource.uncompressedSize() : -1;
        if (size < 0 || size > MaxResourceEntrySize)
            continue;
        names.append(file.name);
        total += size;
    }
    std::optional<QHash<QString, QByteArray>> contents;
    if (total <= MaxResourceContentSize) {
        contents.emplace();
        for (const QString &name : std::as_const(names)) {
            const QResource resource(u':' + root + u'/' + name);
            const QByteArray bytes = resource.uncompressedData();
            if (bytes.size() != resource.uncompressedSize())
                continue;
            // A deep copy: uncompressed entries point into `data`.
            contents->insert(name, QByteArray(bytes.constData(), bytes.size()));
        }
    }
    QResource::unregisterResource(raw, root);
    return contents;
}

} // namespace Skin
