#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

// Text helpers shared by every part of the program: the fetch layer, the item
// service, the export and the windows all cut and clean text the same way.
namespace Core {

// Trims spaces (U+0020 only) at both ends; tabs and line breaks stay.
QString trimSpaces(const QString &text);
// Empty, or spaces only.
bool isBlank(const QString &text);

// After trimming spaces: an optional sign, digits with at most one decimal point
// (at least one digit), an optional exponent. No separators, no hex.
bool isNumeric(const QString &text);
// Numeric and within [low, high].
bool isNumericWithin(const QString &text, double low, double high);

// Six named entities in a fixed order, each a pass over the whole text; nothing else.
QString DecodeHtmlEntities(const QString &text);
// UTF-8 percent-encoding of every UTF-16 code unit of 128 and above; ASCII stays raw.
QString PercentEncodeUtf8(const QString &text);
// UTF-8 bytes of the text (surrogates as three bytes each), every "+" giving a space.
QByteArray DigestBytes(const QString &text);
// MD5 of DigestBytes as 32 upper-case hexadecimal digits.
QString Md5Hex(const QString &text);
QString Md5HexLower(const QString &text);

// Decodes bytes in a named charset ("utf-8", "GBK", ...); an unknown charset gives the empty text.
QString DecodeCharset(const QByteArray &bytes, const char *charset);
// The system ANSI code page of the program's text files and pages: GBK (code page 936).
QString decodeAnsi(const QByteArray &bytes);
// Encodes in GBK; characters it cannot hold become "?".
QByteArray encodeAnsi(const QString &text);

// Trim spaces; empty stays empty; otherwise every TAB, LF, CR, double quote and apostrophe removed.
QString CleanField(const QString &text);
// Text after marker 1 (when not blank), then after marker 2 (when not blank), then before the end marker.
QString CutAfterMarkers(const QString &text, const QString &marker1, const QString &marker2,
                        const QString &endMarker);
// Text between the first start marker and the first end marker, when the end stands after the start.
QString TextBetween(const QString &text, const QString &start, const QString &end);

// The text with every occurrence of before (not empty) replaced by after, left to right as
// QString::replace does, in one pass; nothing when the result would be longer than maxLength.
// For replacements that come from outside: a long text for a frequent one would multiply
// two sizes that are each bounded on their own.
std::optional<QString> replacedWithin(const QString &text, const QString &before, const QString &after,
                                      qsizetype maxLength);

// The next occurrence of a needle at or after a position, for scans that only move forward:
// each search is remembered, so the text is read about once per needle however often it is
// asked, and a page full of markers costs time in proportion to its length. The text must
// outlive the finder.
class ForwardFinder
{
public:
    ForwardFinder(const QString &text, QString needle) : m_text(text), m_needle(std::move(needle)) {}

    // -1 when there is none. Positions asked for must not go back.
    qsizetype from(qsizetype pos);
    qsizetype size() const { return m_needle.size(); }
    bool isEmpty() const { return m_needle.isEmpty(); }

private:
    const QString &m_text;
    const QString m_needle;
    bool m_searched = false;
    qsizetype m_searchedFrom = 0;
    qsizetype m_next = -1;
};

// True when the path names a file that can be opened for reading.
bool FileExists(const QString &path);

QString FormatDateYmd(const QDate &date);
QString FormatTimeHms(const QTime &time = QTime::currentTime());

// folder + separator + name; no second separator when the folder already ends in one (a drive root).
QString programFilePath(const QString &folder, const QString &name);

// The text without control characters (U+0000 to U+001F and U+007F).
QString removeControlCharacters(const QString &text);
// True when path names something strictly inside folder once both are made absolute and
// "." and ".." are resolved; either separator counts. A name from a page must pass this
// before anything is written under it.
bool isPathInside(const QString &folder, const QString &path);

} // namespace Core
