#pragma once

#include "layouts.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Export {

// The item's row of the import file in the run's layout. The Taobao layouts list the item
// for 7 days, stamped with the time given, under the seller's name.
QString importRow(OutputType type, QStringList values, const QString &description,
                  const QStringList &pictureUrls, const QDateTime &now, const QString &sellerName);

} // namespace Export
