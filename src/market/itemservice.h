#pragma once

#include <QString>

namespace Core {
class HttpClient;
struct Config;
} // namespace Core

namespace Market {

// What a field query returns when every value is empty: 45 TABs, never the empty text.
QString blankFieldResult();

// The item service's address for one item, built by plain concatenation.
QString itemServiceAddress(const Core::Config &config, const QString &itemCode);

// Extracts the named elements from an item document: values joined by TAB, raw
// (no entity decoding, no CDATA unwrapping). Each name is searched from the start
// of the document; the first occurrence wins, wherever it stands.
QString ExtractItemFields(const QString &source, const QString &fieldList);

// One fetched item document, from which any number of fields can be extracted
// without asking the service again.
class ItemDocument
{
public:
    ItemDocument() = default;
    explicit ItemDocument(QString source) : m_source(std::move(source)) {}

    // With problem given, it receives why the reply is not a usable item record, in words
    // a seller understands (no answer, the HTTP status, a transfer broken off, a reply that
    // is not a whole item document, or the service's own message); empty when it is one.
    // The document itself is what a text fetch returns, error pages included.
    static ItemDocument fetch(Core::HttpClient &client, const Core::Config &config, const QString &itemCode,
                              QString *problem = nullptr);

    // The field result for a comma-separated list of element names.
    QString fields(const QString &fieldList) const;
    // One element's value, with the blank result turned back into the empty text.
    QString field(const QString &name) const;

    const QString &source() const { return m_source; }
    bool isEmpty() const { return m_source.isEmpty(); }
    // True when the document holds at least one element of an item record.
    bool hasItem() const;

private:
    QString m_source;
};

// True when the document's first element, whatever its name, is closed again: a reply
// cut off before its end is not a whole document.
bool isCompleteDocument(const QString &source);

// Fetches the item's document and extracts the fields: one request per call.
QString QueryItemFields(Core::HttpClient &client, const Core::Config &config, const QString &itemCode,
                        const QString &fieldList);

} // namespace Market
