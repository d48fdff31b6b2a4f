#pragma once

#include "faultrule.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Sandbox {

class Options
{
public:
    enum class Outcome { Run, ShowHelp, Invalid };

    // arguments include the program name first, as QCoreApplication::arguments() gives them.
    Outcome parse(const QStringList &arguments);
    QString error() const { return m_error; }
    static QString usage();

    quint16 port() const { return m_port; }
    int latencyMs() const { return m_latencyMs; }
    const QList<FaultRule> &faults() const { return m_faults; }
    int shopItems() const { return m_shopItems; }
    quint32 seed() const { return m_seed; }
    bool sharedPictures() const { return m_sharedPictures; }
    QString writeListFile() const { return m_writeListFile; }
    QString dataDir() const { return m_dataDir; }
    bool quiet() const { return m_quiet; }
    // The version s_ver.txt publishes, when given; the folder of update.jpg and venlo.jpg.
    std::optional<QString> publishedVersion() const { return m_publishedVersion; }
    QString downloadsDir() const { return m_downloadsDir; }

private:
    Outcome fail(const QString &message);

    quint16 m_port = 0;
    int m_latencyMs = 0;
    QList<FaultRule> m_faults;
    int m_shopItems = 0;
    quint32 m_seed = 1;
    bool m_sharedPictures = false;
    QString m_writeListFile;
    QString m_dataDir;
    bool m_quiet = false;
    std::optional<QString> m_publishedVersion;
    QString m_downloadsDir;
    QString m_error;
};

} // namespace Sandbox
