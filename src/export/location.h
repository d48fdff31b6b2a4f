#pragma once

#include <QString>

namespace Core {
class HttpClient;
struct Config;
} // namespace Core

namespace Export {

// The marketplace's city table script, fetched once and asked many times.
class CityTable
{
public:
    CityTable() = default;
    explicit CityTable(QString script) : m_script(std::move(script)) {}

    static CityTable fetch(Core::HttpClient &client, const Core::Config &config);

    // The name after ",id,'" up to the closing quote; empty when absent.
    QString cityName(const QString &cityId) const;
    // The list element at the id's position, quotes included; never the list's last element.
    QString provinceName(const QString &provinceId) const;

    bool isEmpty() const { return m_script.trimmed().isEmpty(); }

private:
    QString m_script;
};

} // namespace Export
