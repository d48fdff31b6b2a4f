#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// What the fuzz targets share: the input as the program would hold it, the split of an
// input that a reader takes from two sources, the maker's pages as the sandbox serves them,
// and the checks that turn a broken property into a finding.
namespace Fuzz {

// A copy of libFuzzer's buffer: a QByteArray of the program's own, terminator and all.
QByteArray inputBytes(const uint8_t *data, size_t size);

// The separator of a two-part input: a reader's markers (a parameter page) and the page
// they are used on, each with the bytes it has on the wire.
inline constexpr char partSeparator[] = "\n--8<--\n";

struct TwoParts
{
    QByteArray first;
    QByteArray second;
    bool split = false; // false: the whole input is `second`, `first` is empty
};
TwoParts splitInput(const QByteArray &input);

// The text of a maker's page as the sandbox serves it (its file under sandbox/data/www/soft/venlo,
// kept in UTF-8 there), for inputs that hold only the page the markers are used on.
QString sandboxMakerPage(const QString &fileName);

// The slots of a parameter page: from the input's first part when it has one, otherwise
// from the sandbox's page.
QStringList parameterSlots(const TwoParts &parts, const QString &fileName, int slotCount);

// A broken property: the message on stderr, then abort(), so libFuzzer keeps the input.
[[noreturn]] void fail(const char *what);
inline void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}

// The same for two texts that must be equal: both are shown, escaped.
void checkEqual(const QByteArray &first, const QByteArray &second, const char *what);

// A QGuiApplication on the offscreen platform, for the targets that measure and draw text.
// Called once, from LLVMFuzzerInitialize.
void startGuiApplication(int *argc, char ***argv);

} // namespace Fuzz
