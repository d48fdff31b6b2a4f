#pragma once

#include <QObject>

#include <functional>

class QThread;

namespace App {

// Runs one piece of work on a thread of its own and tells its owner when it is done.
// The destructor waits for the work, so a window never outlives the job it started.
class BackgroundTask : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundTask(QObject *parent = nullptr);
    ~BackgroundTask() override;

    // Refused (false) while a previous piece of work still runs.
    bool start(std::function<void()> work);
    bool isRunning() const;
    // Blocks until the work is done.
    void wait();

signals:
    void finished();

private:
    QThread *m_thread = nullptr;
};

} // namespace App
