#include "version.h"

#include "core/config.h"
#include "core/decimal.h"

using namespace Qt::Literals::StringLiterals;

namespace SelfUpdate {

QString programVersion()
{
    return QStringLiteral(QUORVEX_PROGRAM_VERSION);
}

std::optional<QString> normaliseVersion(const QString &text)
{
    const std::optional<Core::Decimal> value = Core::Decimal::parse(text);
    if (!value)
        return std::nullopt;
    return value->toFixed(1);
}

QString publishedVersionAddress(const Core::Config &config)
{
    return Core::Config::address(config.makerPrimary, u"/soft/venlo/s_ver.txt"_s);
}

QString updaterPackageAddress(const Core::Config &config)
{
    return Core::Config::address(config.makerPrimary, u"/soft/venlo/update.jpg"_s);
}

QString mainProgramPackageAddress(const Core::Config &config)
{
    return Core::Config::address(config.makerPrimary, u"/soft/venlo/venlo.jpg"_s);
}

} // namespace SelfUpdate
