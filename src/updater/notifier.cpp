#include "notifier.h"

#include <QMessageBox>

using namespace Qt::Literals::StringLiterals;

namespace Updater {

void MessageBoxNotifier::inform(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, u"软件升级"_s, text);
}

} // namespace Updater
