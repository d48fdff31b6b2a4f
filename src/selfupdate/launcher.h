#pragma once

#include <QString>

namespace SelfUpdate {

// Starts another program of the installation and lets it run on its own. Windows take a
// launcher instead of starting processes themselves, so a test can hand in one that
// records the request.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // Starts the program with no arguments, in its own folder; false when it could not start.
    virtual bool start(const QString &program) = 0;
};

// The one that starts processes (QProcess::startDetached).
class ProcessLauncher final : public Launcher
{
public:
    bool start(const QString &program) override;
};

} // namespace SelfUpdate
