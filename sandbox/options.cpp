#include "options.h"

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

// Generated codes carry the index in 24 hex digits, but a list far beyond this
// would only ever be written by mistake.
constexpr qint64 MaxShopItems = 100'000'000;
constexpr qint64 MaxLatencyMs = 600'000;

bool toNumber(const QString &text, qint64 minimum, qint64 maximum, qint64 *value)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok, 10);
    if (!ok || number < minimum || number > maximum)
        return false;
    *value = number;
    return true;
}

} // namespace

QString Options::usage()
{
    return u"usage: quorvex-sandbox [--port N] [--latency MS] [--fault PATTERN=KIND]...\n"
           u"                       [--shop-items N] [--seed S] [--shared-pictures] [--write-list FILE]\n"
           u"                       [--data DIR] [--quiet]\n"
           u"                       [--published-version TEXT] [--downloads DIR]\n"_s;
}

Options::Outcome Options::fail(const QString &message)
{
    m_error = message;
    return Outcome::Invalid;
}

Options::Outcome Options::parse(const QStringList &arguments)
{
    m_dataDir = QStringLiteral(QUORVEX_SANDBOX_DATA_DIR);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        QString value;
        bool hasInlineValue = false;
        if (name.startsWith(u"--")) {
            const qsizetype equals = name.indexOf(u'=');
            if (equals > 0) {
                value = name.mid(equals + 1);
                name.truncate(equals);
                hasInlineValue = true;
            }
        }
        const auto takeValue = [&]() -> bool {
            if (hasInlineValue)
                return true;
            if (i + 1 >= arguments.size()) {
                fail(name + u" needs a value"_s);
                return false;
            }
            value = arguments.at(++i);
            return true;
        };

        if (name == u"--help" || name == u"-h")
            return Outcome::ShowHelp;
        if (name == u"--quiet") {
            m_quiet = true;
            continue;
        }
        if (name == u"--shared-pictures") {
            m_sharedPictures = true;
            continue;
        }

        qint64 number = 0;
        if (name == u"--port") {
            if (!takeValue())
                return Outcome::Invalid;
            if (!toNumber(value, 0, 65535, &number))
                return fail(u"--port needs a number from 0 to 65535"_s);
            m_port = quint16(number);
        } else if (name == u"--latency") {
            if (!takeValue())
                return Outcome::Invalid;
            if (!toNumber(value, 0, MaxLatencyMs, &number))
                return fail(u"--latency needs milliseconds from 0 to 600000"_s);
            m_latencyMs = int(number);
        } else if (name == u"--fault") {
            if (!takeValue())
                return Outcome::Invalid;
            QString error;
            const auto rule = FaultRule::fromSpec(value, &error);
            if (!rule)
                return fail(error);
            m_faults.append(*rule);
        } else if (name == u"--shop-items") {
            if (!takeValue())
                return Outcome::Invalid;
            if (!toNumber(value, 0, MaxShopItems, &number))
                return fail(u"--shop-items needs a count from 0 to 100000000"_s);
            m_shopItems = int(number);
        } else if (name == u"--seed") {
            if (!takeValue())
                return Outcome::Invalid;
            if (!toNumber(value, 0, 0xFFFFFFFFLL, &number))
                return fail(u"--seed needs a number from 0 to 4294967295"_s);
            m_seed = quint32(number);
        } else if (name == u"--write-list") {
            if (!takeValue())
                return Outcome::Invalid;
            if (value.isEmpty())
                return fail(u"--write-list needs a file name"_s);
            m_writeListFile = value;
        } else if (name == u"--data") {
            if (!takeValue())
                return Outcome::Invalid;
            if (value.isEmpty())
                return fail(u"--data needs a folder"_s);
            m_dataDir = value;
        } else if (name == u"--published-version") {
            // Any text, the empty one too: clients must cope with whatever the file holds.
            if (!takeValue())
                return Outcome::Invalid;
            m_publishedVersion = value;
        } else if (name == u"--downloads") {
            if (!takeValue())
                return Outcome::Invalid;
            if (value.isEmpty())
                return fail(u"--downloads needs a folder"_s);
            m_downloadsDir = value;
        } else {
            return fail(u"unknown option "_s + arguments.at(i));
        }
    }
    return Outcome::Run;
}

} // namespace Sandbox
