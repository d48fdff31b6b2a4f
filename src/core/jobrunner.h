#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QThread;

namespace Core {

// Runs long commands (the window's, the update program's), one pattern for all of them. A job is a QObject
// with a blocking run() and a cancel() that may be called from any thread; it reports through its own
// signals, which reach the window queued. The runner owns each job and its thread: it deletes both once the
// thread has ended, and its destructor cancels what still runs and joins it, so no job outlives the window
// that started it.
class JobRunner : public QObject
{
    Q_OBJECT

public:
    explicit JobRunner(QObject *parent = nullptr);
    ~JobRunner() override;

    // Takes the job (it must have no parent), moves it to a thread of its own and runs it
    // there. The caller connects to the job's signals before calling this.
    template <typename Job> void start(Job *job)
    {
        launch(
            job, [job] { job->run(); }, [job] { job->cancel(); });
    }

    // Asks every job still running to stop; returns at once.
    void cancel();
    // True while a job's thread has not ended.
    bool isRunning() const { return !m_running.isEmpty(); }

signals:
    // The last running job's thread has ended and the job is gone.
    void idle();

private:
    struct Running
    {
        QThread *thread = nullptr;
        QObject *job = nullptr;
        std::function<void()> cancel;
    };
    void launch(QObject *job, std::function<void()> run, std::function<void()> cancel);
    void ended(QThread *thread);

    QList<Running> m_running;
};

} // namespace Core
