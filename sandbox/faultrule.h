#pragma once

#include <QString>

#include <optional>

namespace Sandbox {

// One injected failure: requests whose "host/path?query" matches the pattern are
// answered badly on purpose so the product's error handling can be exercised.
class FaultRule
{
public:
    enum class Kind { Hang, Reset, Status, Truncate, Empty, ResetBody, Cut, Garbage, Oversize, RedirectLoop };
    enum class Picture { Png, Jpeg };

    // The largest oversize answer: 4 GiB, beyond what any reader should accept.
    static constexpr qint64 MaxOversizeBytes = qint64(4) * 1024 * 1024 * 1024;

    // spec is "PATTERN=KIND"; the pattern may itself contain '=' (queries do), the kind never does.
    static std::optional<FaultRule> fromSpec(const QString &spec, QString *error);
    static std::optional<FaultRule> create(const QString &pattern, const QString &kind, QString *error);

    // '*' stands for any run of characters; everything else is literal and the whole
    // target has to match. '?' stays literal because targets carry queries.
    static bool wildcardMatch(QStringView pattern, QStringView text);

    bool matches(QStringView target) const { return wildcardMatch(m_pattern, target); }
    QString pattern() const { return m_pattern; }
    Kind kind() const { return m_kind; }
    int statusCode() const { return m_statusCode; }
    Picture picture() const { return m_picture; }
    qint64 oversizeBytes() const { return m_oversizeBytes; }
    QString kindName() const;

private:
    QString m_pattern;
    Kind m_kind = Kind::Status;
    int m_statusCode = 0;
    Picture m_picture = Picture::Png;
    qint64 m_oversizeBytes = 0;
};

} // namespace Sandbox
