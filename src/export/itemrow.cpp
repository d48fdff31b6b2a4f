#include "itemrow.h"

#include "core/text.h"

using namespace Qt::Literals::StringLiterals;

namespace Export {

QString importRow(OutputType type, QStringList values, const QString &description,
                  const QStringList &pictureUrls, const QDateTime &now, const QString &sellerName)
{
    if (type == OutputType::Paipai)
        return paipaiRow(values);
    values[PaipaiColumn::Validity] = u"7"_s;
    return taobaoRow(type, values,
                     {description, pictureUrls, now.toString(u"yyyy-MM-dd hh:mm:ss"_s),
                      Core::removeControlCharacters(sellerName)});
}

} // namespace Export
