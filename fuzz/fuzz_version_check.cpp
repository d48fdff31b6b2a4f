// The version check: the published version (s_ver.txt, GBK as on the wire) against the
// installed-version record tb.dat, both checks' decisions, and the record written as an
// update writes it: bytes 10 to 15 replaced, every other byte kept.
//
// Input: s_ver.txt, "\n--8<--\n", tb.dat; an input without the separator is a tb.dat read
// against the published version "3.6".

#include "fuzzinput.h"

#include "core/text.h"
#include "selfupdate/version.h"
#include "selfupdate/versioncheck.h"
#include "selfupdate/versionrecord.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir programDir;
    if (!programDir.isValid())
        Fuzz::fail("no temporary folder for tb.dat");
    const Fuzz::TwoParts parts = Fuzz::splitInput(Fuzz::inputBytes(data, size));
    const QString published = parts.split ? Core::decodeAnsi(parts.first) : u"3.6"_s;
    const QByteArray record = parts.second;

    SelfUpdate::decideStartupCheck(true, published);
    const QString path = programDir.filePath(SelfUpdate::versionRecordFileName());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(record) != record.size())
        Fuzz::fail("tb.dat could not be written");
    file.close();
    const QString field = SelfUpdate::readVersionField(programDir.path());
    Fuzz::check(field.size() <= record.size(), "the field is longer than the record");
    SelfUpdate::decideManualCheck(published, field);

    // After an update the record holds the published version (empty when none was read).
    const QString version = SelfUpdate::normaliseVersion(published).value_or(QString());
    if (!SelfUpdate::writeVersionField(programDir.path(), version))
        Fuzz::fail("tb.dat could not be written by the update");
    if (!file.open(QIODevice::ReadOnly))
        Fuzz::fail("tb.dat could not be read back");
    const QByteArray written = file.readAll();
    file.close();
    const qint64 offset = SelfUpdate::versionFieldOffset, length = SelfUpdate::versionFieldLength;
    QByteArray expected = record.leftJustified(offset, '\0');
    expected.replace(offset, length, SelfUpdate::versionFieldBytes(version));
    Fuzz::checkEqual(written, expected, "the record changed outside its version field");
    Fuzz::check(SelfUpdate::readVersionField(programDir.path()) ==
                    Core::decodeAnsi(expected.mid(offset, length)),
                "the record does not read back what was written");
    return 0;
}
