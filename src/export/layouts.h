#pragma once

#include <QString>
#include <QStringList>

namespace Export {

enum class OutputType { Paipai, Taobao4, Taobao5 };

constexpr int paipaiColumnCount = 45;
constexpr int taobao4ColumnCount = 46;
constexpr int taobao5ColumnCount = 49;

// Positions (0-based) in the Paipai value list that the Taobao rows read too.
namespace PaipaiColumn {
enum : int {
    Title = 1,
    Quantity = 5,
    Validity = 7,
    Price = 10,
    Province = 12,
    City = 13,
    Freight = 14,
    PostFee = 15,
    ExpressFee = 16,
    EmsFee = 17,
    Invoice = 20,
    Warranty = 21,
    FirstPicture = 25,
    DescriptionFile = 30,
    StockFile = 37,
    OuterCode = 39,
};
}

QStringList taobao4Header();
QStringList taobao5FieldNames();
QStringList taobao5Header();
QStringList paipaiHeader();

// Everything written before the first row: the header rows with their line ends
// (no byte-order mark).
QString headerText(OutputType type);

// A value holding an ASCII comma goes between double quotes (inner quotes stay single).
QString commaQuoted(const QString &value);

// The picture column: per URL lower MD5 + ":" + kind + ":" + position + ":|;".
QString pictureList(const QStringList &pictureUrls, QChar kindDigit);

// "1" when the freight value, taken as a whole number, is above 10; "2" when it is
// 10 or less; "1" when it is not a number.
QString freightPayer(const QString &sellerPayFreight);

// The values a Taobao row takes from outside the Paipai list.
struct TaobaoExtras
{
    QString description;     // processed, pictures already local
    QStringList pictureUrls; // main picture URLs in slot order
    QString dateTime;        // yyyy-MM-dd hh:mm:ss
    QString sellerName;      // the seller-name box as typed
};

// One row with its separators and line ends, ready to append.
QString taobaoRow(OutputType type, const QStringList &paipaiValues, const TaobaoExtras &extras);
QString paipaiRow(const QStringList &paipaiValues);

} // namespace Export
