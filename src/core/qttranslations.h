#pragma once

#include <QString>

class QCoreApplication;

namespace Core {

// Qt's own texts (file dialogs, the buttons of its questions) in Chinese, like the rest of
// the program: qtbase_zh_CN.qm from a "translations" folder beside the program, else from
// Qt's installed translations. Returns the file it loaded, empty when none was found; the
// program runs with Qt's English texts then.
QString installQtTranslations(QCoreApplication &application);

} // namespace Core
