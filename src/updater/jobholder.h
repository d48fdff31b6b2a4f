#pragma once

#include <QObject>

#include <functional>

class QThread;

namespace Updater {

// Runs one job at a time on a thread of its own. A job is a QObject with a blocking run()
// and a cancel() that may be called from any thread; it reports through its own signals,
// which reach the window queued. The thread ends when run() returns, and the holder then
// deletes job and thread. The destructor cancels a job still running and joins its
// thread, so no job outlives the window that started it; the GUI thread never waits
// for a job otherwise.
class JobHolder : public QObject
{
    Q_OBJECT

public:
    explicit JobHolder(QObject *parent = nullptr);
    ~JobHolder() override;

    // Takes the job (it must have no parent) and runs it; refused (the job deleted,
    // false) while another one runs. Connect to the job's signals before calling this.
    template <typename Job> bool start(Job *job)
    {
        return launch(
            job, [job] { job->run(); }, [job] { job->cancel(); });
    }

    // Asks the running job to stop; returns at once.
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }

signals:
    // The job's thread has ended and the job is gone.
    void idle();

private:
    bool launch(QObject *job, std::function<void()> run, std::function<void()> cancel);
    void ended();

    QThread *m_thread = nullptr;
    QObject *m_job = nullptr;
    std::function<void()> m_cancel;
};

} // namespace Updater
