#include "faultrule.h"

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

std::optional<FaultRule> FaultRule::fromSpec(const QString &spec, QString *error)
{
    const qsizetype equals = spec.lastIndexOf(u'=');
    if (equals <= 0) {
        *error = u"fault \""_s + spec + u"\" is not PATTERN=KIND"_s;
        return std::nullopt;
    }
    return create(spec.left(equals), spec.mid(equals + 1), error);
}

std::optional<FaultRule> FaultRule::create(const QString &pattern, const QString &kind, QString *error)
{
    if (pattern.isEmpty()) {
        *error = u"fault pattern is empty"_s;
        return std::nullopt;
    }
    FaultRule rule;
    rule.m_pattern = pattern;
    if (kind == u"hang") {
        rule.m_kind = Kind::Hang;
    } else if (kind == u"reset") {
        rule.m_kind = Kind::Reset;
    } else if (kind == u"reset-body") {
        rule.m_kind = Kind::ResetBody;
    } else if (kind == u"truncate") {
        rule.m_kind = Kind::Truncate;
    } else if (kind == u"cut") {
        rule.m_kind = Kind::Cut;
    } else if (kind == u"empty") {
        rule.m_kind = Kind::Empty;
    } else if (kind == u"redirect-loop") {
        rule.m_kind = Kind::RedirectLoop;
    } else if (kind == u"garbage:png" || kind == u"garbage:jpeg") {
        rule.m_kind = Kind::Garbage;
        rule.m_picture = kind.endsWith(u"png") ? Picture::Png : Picture::Jpeg;
    } else if (kind.startsWith(u"status:")) {
        bool ok = false;
        const int code = kind.mid(7).toInt(&ok);
        if (!ok || code < 100 || code > 599) {
            *error = u"fault kind \""_s + kind + u"\" needs a status code between 100 and 599"_s;
            return std::nullopt;
        }
        rule.m_kind = Kind::Status;
        rule.m_statusCode = code;
    } else if (kind.startsWith(u"oversize:")) {
        bool ok = false;
        const qint64 bytes = kind.mid(9).toLongLong(&ok);
        if (!ok || bytes < 1 || bytes > MaxOversizeBytes || !kind.at(9).isDigit()) {
            *error = u"fault kind \""_s + kind + u"\" needs a size from 1 to "_s +
                     QString::number(MaxOversizeBytes) + u" bytes"_s;
            return std::nullopt;
        }
        rule.m_kind = Kind::Oversize;
        rule.m_oversizeBytes = bytes;
    } else {
        *error =
            u"unknown fault kind \""_s + kind +
            u"\" (hang, reset, reset-body, status:CODE, truncate, cut, empty, garbage:png, garbage:jpeg, "
            u"oversize:BYTES, redirect-loop)"_s;
        return std::nullopt;
    }
    return rule;
}

bool FaultRule::wildcardMatch(QStringView pattern, QStringView text)
{
    // Greedy matching with one backtrack point: on a mismatch the most recent '*'
    // swallows one more character. Linear enough for the short targets seen here.
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype starAt = -1;
    qsizetype starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            starText = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starAt >= 0) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

QString FaultRule::kindName() const
{
    switch (m_kind) {
    case Kind::Hang:
        return u"hang"_s;
    case Kind::Reset:
        return u"reset"_s;
    case Kind::ResetBody:
        return u"reset-body"_s;
    case Kind::Truncate:
        return u"truncate"_s;
    case Kind::Cut:
        return u"cut"_s;
    case Kind::Empty:
        return u"empty"_s;
    case Kind::RedirectLoop:
        return u"redirect-loop"_s;
    case Kind::Garbage:
        return m_picture == Picture::Png ? u"garbage:png"_s : u"garbage:jpeg"_s;
    case Kind::Oversize:
        return u"oversize:"_s + QString::number(m_oversizeBytes);
    case Kind::Status:
        break;
    }
    return u"status:"_s + QString::number(m_statusCode);
}

} // namespace Sandbox
