#pragma once

#include <QString>

class QWidget;

namespace Updater {

// The update program's message boxes go through a Notifier, so that a test can hand the
// window one that records instead of showing a box.
class Notifier
{
public:
    virtual ~Notifier() = default;
    // A plain message with an OK button.
    virtual void inform(QWidget *parent, const QString &text) = 0;
};

// The one that shows real message boxes.
class MessageBoxNotifier final : public Notifier
{
public:
    void inform(QWidget *parent, const QString &text) override;
};

} // namespace Updater
