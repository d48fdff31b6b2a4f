#include "fuzzinput.h"

#include "core/text.h"
#include "market/parampages.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>

#include <cstdio>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace Fuzz {

QByteArray inputBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

TwoParts splitInput(const QByteArray &input)
{
    const qsizetype at = input.indexOf(partSeparator);
    if (at < 0)
        return {QByteArray(), input, false};
    return {input.left(at), input.mid(at + qsizetype(sizeof(partSeparator)) - 1), true};
}

QString sandboxMakerPage(const QString &fileName)
{
    static QHash<QString, QString> pages;
    if (const auto known = pages.constFind(fileName); known != pages.cend())
        return known.value();
    QFile file(QStringLiteral(QUORVEX_SANDBOX_WWW) + u"/soft/venlo/"_s + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "fuzz: cannot read the sandbox page %s\n", qPrintable(file.fileName()));
        std::abort();
    }
    return *pages.insert(fileName, QString::fromUtf8(file.readAll()));
}

QStringList parameterSlots(const TwoParts &parts, const QString &fileName, int slotCount)
{
    QStringList table(slotCount);
    Market::readParamPairs(parts.split ? Core::decodeAnsi(parts.first) : sandboxMakerPage(fileName), table,
                           slotCount);
    return table;
}

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz: property broken: %s\n", what);
    std::abort();
}

void checkEqual(const QByteArray &first, const QByteArray &second, const char *what)
{
    if (first == second)
        return;
    std::fprintf(stderr, "fuzz: first:  %s\nfuzz: second: %s\n", first.toPercentEncoding(" ").constData(),
                 second.toPercentEncoding(" ").constData());
    fail(what);
}

void startGuiApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept for the whole run; libFuzzer never returns to main.
    new QGuiApplication(*argc, *argv);
}

} // namespace Fuzz
