#pragma once

#include "core/httpclient.h"

#include <QString>
#include <QStringList>

namespace Core {
struct Config;
}

namespace Market {

// The maker's parameter pages under /soft/venlo/.
enum class ParamPage {
    Main,      // copy36.htm: the main window's 43 table
    App,       // copy_app35.htm: the application table, 21 table
    UrlFind,   // copy_fwz33.htm: markers and templates of the collection run
    Stock,     // ks_set.htm: markers of the stock list
    FirstItem, // f_1sp.htm: the seller lookup
};

struct ParamPageInfo
{
    QString fileName;
    QString primaryQuery;   // appended to the primary address only
    QString checkText;      // without it the reply is not read
    bool fallbackWhenBlank; // true: ask the secondary host when the reply is blank;
                            // false: when the reply lacks the check text
    Core::WaitMode wait;
    int slotCount;
};

ParamPageInfo paramPageInfo(ParamPage page);

// Reads "value#slot#value#slot#..." into table (grown to slotCount when shorter).
// A later pair for the same slot wins; table not named keep their content; a slot
// number that is not a whole number in range, and a value without its slot
// number, are skipped.
void readParamPairs(const QString &text, QStringList &table, int slotCount);

// Fetches the page from the primary host, applies the page's fallback once, and
// returns the final reply (empty when both hosts failed).
QString fetchParamPageText(Core::HttpClient &client, const Core::Config &config, ParamPage page);

// Fetches and reads the page into table. Returns false, leaving the table as they
// were, when the final reply lacks the check text.
bool loadParamPage(Core::HttpClient &client, const Core::Config &config, ParamPage page, QStringList &table);

// A fresh table for the page: slotCount empty table, filled when the page reads.
QStringList fetchParamSlots(Core::HttpClient &client, const Core::Config &config, ParamPage page);

} // namespace Market
